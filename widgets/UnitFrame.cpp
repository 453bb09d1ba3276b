#include "widgets/UnitFrame.h"

#include "wizard/FullWindowActions.h"
#include "core/BenchUi.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace psucal {

UnitFrame::UnitFrame(BenchUi& ui, QWidget* parent)
    : QGroupBox(QStringLiteral("Unit"), parent), ui_(ui), serial_(new QLineEdit(this)), model_(new QComboBox(this))
{
    setObjectName(QStringLiteral("Frame3"));
    serial_->setObjectName(QStringLiteral("TxtH_4"));
    model_->setObjectName(QStringLiteral("CmbModel"));
    auto* row = new QHBoxLayout(this);
    auto* serialLabel = new QLabel(QStringLiteral("Serial No."), this);
    serialLabel->setBuddy(serial_);
    auto* modelLabel = new QLabel(QStringLiteral("Model"), this);
    modelLabel->setBuddy(model_);
    row->addWidget(serialLabel);
    row->addWidget(serial_, 1);
    row->addSpacing(8);
    row->addWidget(modelLabel);
    row->addWidget(model_, 1);

    connect(serial_, &QLineEdit::textEdited, this, [this](const QString& text) {
        ui_.setSerialBox(text);
        if (actions_)
            actions_->TxtH_Change(4, text);
        emit acted();
    });
    connect(model_, &QComboBox::activated, this, [this](int index) {
        ui_.setModel(index);
        if (actions_)
            actions_->CmbModel_Click(index);
        emit acted();
    });
}

void UnitFrame::follow()
{
    const BenchUi& ui = ui_;
    const FullWindowUi& full = ui.full();
    const bool idle = !full.pageRunning;
    if (serial_->text() != ui.serialBox())
        serial_->setText(ui.serialBox());
    serial_->setEnabled(idle && full.serialBoxEnabled);
    if (full.focusBox == 4) {
        serial_->setFocus();
        ui_.full().focusBox = -1;
    }
    QStringList entries;
    for (int i = 0; i < model_->count(); ++i)
        entries << model_->itemText(i);
    if (entries != full.modelEntries) {
        model_->clear();
        model_->addItems(full.modelEntries);
    }
    model_->setCurrentIndex(ui.model() < model_->count() ? ui.model() : -1);
    model_->setEnabled(idle && full.modelEnabled);
}

} // namespace psucal
