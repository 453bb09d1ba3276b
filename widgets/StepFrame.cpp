#include "widgets/StepFrame.h"

#include "wizard/FullWindowActions.h"
#include "spots/PcFont.h"
#include "widgets/PlaceTwips.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/WizardCaption.h"
#include "spots/SpotGrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace psucal {

namespace {
// Step boxes top down; without "Define" the other two spread over the same height.
constexpr std::array<int, 3> StepTop{250, 550, 850};
constexpr std::array<int, 3> StepTopWithoutDefine{250, 325, 750};
// Two digits, so that the counts line up in the list.
QString SpotEntry(int count)
{
    return QStringLiteral("%1").arg(count, 2, 10, QLatin1Char('0'));
}
} // namespace

StepFrame::StepFrame(BenchUi& ui, BenchState& st, QWidget* parent)
    : QGroupBox(QStringLiteral("Steps"), parent), ui_(ui), st_(st)
{
    setObjectName(QStringLiteral("Frame2"));
    build();
    connectActions();
}

void StepFrame::build()
{
    // Each control under its own name, at its place in twips.
    auto add = [](auto* w, const QString& name, int left, int top, int width, int height) {
        w->setObjectName(name);
        PlaceTwips(w, left, top, width, height);
        return w;
    };
    const QStringList names{"Define", "Cal. V", "Cal. C"};
    for (int i = 0; i < 3; ++i)
        steps_[i] = add(new QCheckBox(names[i], this), QStringLiteral("CekPro_%1").arg(i), 150, StepTop[i], 1350, 255);
    onlyRead_ =
        add(new QCheckBox(QStringLiteral("Only read"), this), QStringLiteral("CekOnlyRead"), 1650, 250, 1500, 255);
    smallCal_ =
        add(new QCheckBox(QStringLiteral("Small Cal."), this), QStringLiteral("CekSmallCal"), 1650, 550, 1500, 255);
    eep_ = add(new QCheckBox(QStringLiteral("EEP"), this), QStringLiteral("CekEEP"), 1650, 850, 1500, 255);

    auto* spotsLabel = add(new QLabel(QStringLiteral("Spots"), this), QStringLiteral("LabelVC"), 3350, 270, 800, 255);
    spots_ = add(new QComboBox(this), QStringLiteral("CmbSpots"), 4350, 220, 1200, 330);
    for (const int count : SpotGrid::SpotCounts)
        spots_->addItem(SpotEntry(count));
    spotsLabel->setBuddy(spots_);
    print_ = add(new QPushButton(QStringLiteral("Print"), this), QStringLiteral("CmdPrint"), 4350, 620, 1200, 360);
    certificate_ = add(new QCheckBox(QStringLiteral("Certificate"), this), QStringLiteral("CekCertificate"), 4350, 1000,
                       1300, 255);
    certificate_->setToolTip(QStringLiteral("Print also files a calibration certificate beside the report"));
    verdict_ = add(new QLabel(this), QStringLiteral("LabelVerdict"), 3250, 650, 1050, 405);
    verdict_->setAlignment(Qt::AlignCenter);
    QFont bold = verdict_->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    verdict_->setFont(bold);

    progressLabel_ =
        add(new QLabel(QStringLiteral("Progress"), this), QStringLiteral("Label4_4"), 150, 1200, 1200, 225);
    progress_ = add(new QProgressBar(this), QStringLiteral("ProgressBar1"), 150, 1440, 2650, 225);
    progress_->setTextVisible(false);

    back_ = add(new QPushButton(caption::Back, this), QStringLiteral("Command1_0"), 2950, 1260, 1200, 405);
    next_ = add(new QPushButton(caption::Design, this), QStringLiteral("Command1_1"), 4350, 1260, 1200, 405);
}

void StepFrame::connectActions()
{
    auto act = [this](auto&& f) {
        if (actions_)
            ui_.guard([&] { f(*actions_); });
        emit acted();
    };
    connect(next_, &QPushButton::clicked, this, [act] { act([](FullWindowActions& a) { a.Command1_Click(1); }); });
    connect(back_, &QPushButton::clicked, this, [act] { act([](FullWindowActions& a) { a.Command1_Click(0); }); });
    for (int i = 0; i < 3; ++i) {
        connect(steps_[i], &QCheckBox::clicked, this, [this, act, i] {
            // A click ticks a pending step and clears one in hand or done.
            const int value = ui_.full().step[i] == 0 ? 1 : 0;
            ui_.full().step[i] = value;
            act([i, value](FullWindowActions& a) { a.CekPro_Click(i, value); });
        });
    }
    connect(onlyRead_, &QCheckBox::clicked, this, [this, act](bool on) {
        st_.OnlyRead = on;
        act([on](FullWindowActions& a) { a.CekOnlyRead_Click(on); });
    });
    connect(smallCal_, &QCheckBox::clicked, this, [this, act](bool on) {
        st_.SmallCal = on;
        act([on](FullWindowActions& a) { a.CekSmallCal_Click(on); });
    });
    connect(eep_, &QCheckBox::clicked, this, [this, act](bool on) {
        ui_.full().eepChecked = on;
        act([on](FullWindowActions& a) { a.CekEEP_Click(on); });
    });
    connect(certificate_, &QCheckBox::clicked, this, [this](bool on) {
        st_.Certificate = on;
        emit acted();
    });
    connect(print_, &QPushButton::clicked, this, [act] { act([](FullWindowActions& a) { a.CmdPrint_Click(); }); });
    connect(spots_, &QComboBox::activated, this, [this, act](int index) {
        const int count = spots_->itemText(index).toInt();
        st_.SpotCount = count;
        act([count](FullWindowActions& a) { a.CmbSpots_Click(count); });
    });
}

void StepFrame::showStep(int index, int value, bool visible, bool enabled)
{
    QCheckBox* box = steps_[index];
    box->setCheckState(value == 0 ? Qt::Unchecked : Qt::Checked);
    // A step done shows a greyed tick, yet stays live for the operator.
    const bool greyed = value == 2;
    if (box->property("greyed").toBool() != greyed) {
        QPalette pal = palette();
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::Base, QPalette::Button, QPalette::ButtonText})
            for (auto group : {QPalette::Active, QPalette::Inactive})
                pal.setColor(group, role, pal.color(greyed ? QPalette::Disabled : group, role));
        box->setPalette(pal);
        box->setProperty("greyed", greyed);
    }
    box->setVisible(visible);
    box->setEnabled(enabled);
}

// PASS or FAIL once both passes ran over all their spots; the voltage pass's alone before that.
void StepFrame::showVerdict()
{
    const FullWindowUi& full = ui_.full();
    QString text;
    bool pass = false;
    if (full.passDone[0] && full.passDone[1]) {
        pass = st_.AllPass;
        text = pass ? QStringLiteral("PASS") : QStringLiteral("FAIL");
    } else if (full.passDone[0]) {
        pass = st_.VoltPass;
        text = pass ? QStringLiteral("V PASS") : QStringLiteral("V FAIL");
    }
    verdict_->setText(text);
    QPalette pal = verdict_->palette();
    pal.setColor(QPalette::WindowText, pass ? spots::PassColor : spots::FailColor);
    verdict_->setPalette(pal);
}

void StepFrame::follow()
{
    BenchUi& ui = ui_;
    const BenchState& st = st_;
    FullWindowUi& full = ui.full();
    const bool idle = !full.pageRunning;
    const bool withDefine = full.stepVisible[0];
    for (int i = 0; i < 3; ++i) {
        showStep(i, full.step[i], full.stepVisible[i], idle);
        const QRect g = steps_[i]->geometry();
        steps_[i]->move(g.left(), TwipsToPx((withDefine ? StepTop : StepTopWithoutDefine)[i], logicalDpiY()));
    }
    onlyRead_->setChecked(st.OnlyRead);
    onlyRead_->setEnabled(idle && full.onlyReadEnabled);
    smallCal_->setChecked(st.SmallCal);
    smallCal_->setEnabled(idle && full.smallCalEnabled);
    eep_->setVisible(full.eepVisible);
    eep_->setChecked(full.eepChecked);
    eep_->setEnabled(idle);
    spots_->setCurrentIndex(spots_->findText(SpotEntry(st.SpotCount)));
    spots_->setEnabled(idle);
    print_->setEnabled(idle && full.printEnabled);
    certificate_->setChecked(st.Certificate);
    certificate_->setEnabled(idle);
    showVerdict();
    progress_->setMaximum(ui.progressMax());
    progress_->setValue(ui.progressValue());
    progress_->setVisible(ui.progressVisible());
    progressLabel_->setVisible(ui.progressVisible());

    back_->setEnabled(idle && full.backEnabled);
    next_->setText(ui.caption());
    next_->setEnabled(ui.buttonEnabled());
    if (ui.buttonFocused()) {
        next_->setFocus();
        ui.clearFocus();
    }
    if (full.backFocused && back_->isEnabled()) {
        back_->setFocus();
        full.backFocused = false;
    }
}

} // namespace psucal
