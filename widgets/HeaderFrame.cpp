#include "widgets/HeaderFrame.h"

#include "wizard/FullWindowActions.h"
#include "core/BenchUi.h"

#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace psucal {

HeaderFrame::HeaderFrame(BenchUi& ui, QWidget* parent) : QGroupBox(QStringLiteral("Report"), parent), ui_(ui)
{
    setObjectName(QStringLiteral("Frame4"));
    const QStringList labels{"Client Model", "Equipment", "Ambient Temp (Deg C)", "Tested By"};
    auto* form = new QFormLayout(this);
    form->setContentsMargins(6, form->contentsMargins().top(), 6, 6);
    for (int i = 0; i < 4; ++i) {
        boxes_[i] = new QLineEdit(this);
        boxes_[i]->setObjectName(QStringLiteral("TxtH_%1").arg(i));
        boxes_[i]->installEventFilter(this);
        connect(boxes_[i], &QLineEdit::textEdited, this, [this, i](const QString& text) {
            ui_.full().header[i] = text;
            if (actions_)
                actions_->TxtH_Change(i, text);
            emit acted();
        });
        if (i == 2)
            form->addRow(labels[i], temperatureRow());
        else
            form->addRow(labels[i], boxes_[i]);
    }
}

// The conditions side by side: the temperature box, then the relative humidity.
QWidget* HeaderFrame::temperatureRow()
{
    humidity_ = new QLineEdit(this);
    humidity_->setObjectName(QStringLiteral("TxtH_5"));
    humidity_->setValidator(new QIntValidator(0, 100, humidity_));
    humidity_->installEventFilter(this);
    connect(humidity_, &QLineEdit::textEdited, this, [this](const QString& text) {
        ui_.full().humidity = text;
        if (actions_)
            actions_->TxtH_Change(FullWindowActions::HumidityBox, text);
        emit acted();
    });
    auto* row = new QWidget(this);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(boxes_[2], 1);
    line->addWidget(new QLabel(QStringLiteral("Humidity (%RH)"), row));
    line->addWidget(humidity_, 1);
    return row;
}

void HeaderFrame::follow()
{
    const FullWindowUi& full = ui_.full();
    for (int i = 0; i < 4; ++i) {
        // Only a changed text is set, so typing keeps its cursor.
        if (boxes_[i]->text() != full.header[i])
            boxes_[i]->setText(full.header[i]);
        boxes_[i]->setEnabled(!full.pageRunning);
    }
    if (humidity_->text() != full.humidity)
        humidity_->setText(full.humidity);
    humidity_->setEnabled(!full.pageRunning);
    if (full.focusBox >= 0 && full.focusBox < 4) {
        boxes_[full.focusBox]->setFocus();
        ui_.full().focusBox = -1;
    }
}

bool HeaderFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        auto* box = static_cast<QLineEdit*>(watched);
        QTimer::singleShot(0, box, [box] { box->selectAll(); });
    }
    return false;
}

} // namespace psucal
