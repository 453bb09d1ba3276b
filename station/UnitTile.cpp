#include "station/UnitTile.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace psucal {

namespace {
// Outcome colours a technician reads across the bench: green done, red failed, amber waits for
// a hand, grey still working.
constexpr const char* Green = "#1a7f37";
constexpr const char* Red = "#c62828";
constexpr const char* Amber = "#b26a00";
constexpr const char* Grey = "#555555";
} // namespace

UnitTile::UnitTile(UnitRun& unit, QWidget* parent)
    : QGroupBox(unit.view().name, parent), unit_(unit), facts_(new QLabel), step_(new QLabel), bar_(new QProgressBar),
      outcome_(new QLabel), prompt_(new QLabel(QStringLiteral("Short the output terminals, then"))),
      go_(new QPushButton(QStringLiteral("GO  >"))), start_(new QPushButton(QStringLiteral("START  >"))),
      remove_(new QPushButton(QStringLiteral("Remove"))), pageButton_(new QPushButton(QStringLiteral("Page"))),
      page_(new QLabel)
{
    setToolTip(unit.view().port);
    bar_->setRange(0, 100);
    outcome_->setWordWrap(true);
    pageButton_->setCheckable(true);
    page_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    page_->setFrameShape(QFrame::StyledPanel);
    page_->setVisible(false);
    auto* promptRow = new QHBoxLayout;
    promptRow->addWidget(prompt_);
    promptRow->addWidget(go_);
    promptRow->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(pageButton_);
    buttons->addStretch();
    buttons->addWidget(remove_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(facts_);
    layout->addWidget(step_);
    layout->addWidget(bar_);
    layout->addWidget(outcome_);
    layout->addLayout(promptRow);
    layout->addWidget(page_);
    layout->addLayout(buttons);
    connect(start_, &QPushButton::clicked, this, [this] { emit startClicked(&unit_); });
    connect(remove_, &QPushButton::clicked, this, [this] { emit removeClicked(&unit_); });
    connect(go_, &QPushButton::clicked, this, [this] { unit_.go(); });
    connect(pageButton_, &QPushButton::toggled, page_, &QLabel::setVisible);
    refresh();
}

void UnitTile::refresh()
{
    const UnitRun::View& v = unit_.view();
    const auto orDash = [](const QString& s) { return s.isEmpty() ? QStringLiteral("-") : s; };
    facts_->setText(QStringLiteral("Serial: <b>%1</b>&nbsp;&nbsp;&nbsp;Rating: <b>%2</b>")
                        .arg(orDash(v.serial).toHtmlEscaped(), orDash(v.rating).toHtmlEscaped()));
    step_->setText(QStringLiteral("Step: %1").arg(orDash(v.step)));
    bar_->setValue(v.percent);
    QString text;
    const char* colour = Grey;
    switch (v.phase) {
    case UnitRun::Phase::Idle:
        text = QStringLiteral("ready");
        break;
    case UnitRun::Phase::Running:
        text = QStringLiteral("running");
        break;
    case UnitRun::Phase::Waiting:
        text = QStringLiteral("waits for its terminals to be shorted");
        colour = Amber;
        break;
    case UnitRun::Phase::Ended:
        text = v.reason.isEmpty() ? v.result : v.result + QStringLiteral(": ") + v.reason;
        colour = v.recalibrated() ? Green : Red;
        break;
    }
    outcome_->setText(QStringLiteral("<b><font color=\"%1\">%2</font></b>").arg(QLatin1String(colour), text.toHtmlEscaped()));
    const bool waiting = v.phase == UnitRun::Phase::Waiting;
    prompt_->setVisible(waiting);
    go_->setVisible(waiting);
    const bool busy = waiting || v.phase == UnitRun::Phase::Running;
    start_->setEnabled(!busy);
    remove_->setEnabled(!busy);
    page_->setText(v.page.isEmpty() ? QStringLiteral("(no page yet)") : v.page);
}

} // namespace psucal
