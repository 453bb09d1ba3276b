#include "widgets/FrmMain.h"

#include "core/StatusText.h"
#include "widgets/FullView.h"
#include "wizard/FullWindowActions.h"
#include "spots/PcFont.h"
#include "widgets/PcWidget.h"
#include "widgets/PortBox.h"
#include "wizard/PortList.h"
#include "widgets/StepFrame.h"
#include "wizard/Wizard.h"
#include "core/BenchState.h"
#include "core/WizardCaption.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

namespace psucal {

namespace {
constexpr int WindowWidth = 6765;
constexpr int WindowHeight = 5055;
constexpr int FrameLeft = 150;
constexpr int FrameTop = 450;
// The full window before it is first maximised: compact, and tall enough for its frames.
constexpr int FullHeight = 6600;
} // namespace

FrmMain::FrmMain(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("psucal"));
    buildRunMode3();
}

FrmMain::~FrmMain() = default;

QWidget* FrmMain::messageArea() const
{
    return pc_;
}

QPushButton* FrmMain::wizardButton() const
{
    return full_ ? full_->stepFrame()->wizardButton() : button_;
}

QComboBox* FrmMain::portSelector() const
{
    return full_ ? full_->portBox(false) : ports_;
}

QProgressBar* FrmMain::progressBar() const
{
    return full_ ? full_->stepFrame()->progressBar() : progress_;
}

void FrmMain::place(QWidget* w, int left, int top, int width, int height)
{
    const int dpi = logicalDpiX();
    w->setGeometry(TwipsToPx(left, dpi), TwipsToPx(top, dpi), TwipsToPx(width, dpi), TwipsToPx(height, dpi));
}

void FrmMain::buildRunMode3()
{
    const int dpi = logicalDpiX();
    central_ = new QWidget(this);
    setCentralWidget(central_);

    portLabel_ = new QLabel(QStringLiteral("<u>S</u>etup  "), central_);
    place(portLabel_, 150, 110, 700, 255);
    ports_ = new QComboBox(central_);
    place(ports_, 850, 60, 2400, 330);
    ports_->setObjectName(QStringLiteral("CmbCommPort"));

    frame2_ = new QGroupBox(central_);
    // The frame fills the window less its margins; the status bar sits below it.
    place(frame2_, FrameLeft, FrameTop, WindowWidth - 2 * FrameLeft - 120, WindowHeight - 1215);

    button_ = new QPushButton(caption::Design, frame2_);
    button_->setObjectName(QStringLiteral("Command1_1"));
    QFont bf = button_->font();
    bf.setPointSize(10);
    button_->setFont(bf);
    place(button_, 4160, 2560, 1200, 405);

    progressLabel_ = new QLabel(QStringLiteral("Progress"), frame2_);
    place(progressLabel_, 600, 2940, 1200, 255);
    progress_ = new QProgressBar(frame2_);
    progress_->setTextVisible(false);
    progress_->setMaximum(10);
    place(progress_, 450, 3260, 5460, 255);

    pc_ = new PcWidget(central_);
    place(pc_, 555, 855 - 0, 5545, 1800);
    pc_->raise();

    picture1_ = new QWidget(central_);
    picture1_->setFocusPolicy(Qt::StrongFocus);
    place(picture1_, 7140, 90, 15, 15);

    status1_ = new QLabel(this);
    status2_ = new QLabel(this);
    statusBar()->addWidget(status1_, 1);
    statusBar()->addWidget(status2_, 1);
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("NotePanel"));
    statusBar()->addPermanentWidget(note_);
    repeats_ = new QLabel(this);
    repeats_->setObjectName(QStringLiteral("RepeatsPanel"));
    repeats_->hide();
    statusBar()->addPermanentWidget(repeats_);
    statusBar()->setSizeGripEnabled(false);

    setFixedSize(TwipsToPx(WindowWidth, dpi), TwipsToPx(WindowHeight, dpi));

    connect(button_, &QPushButton::clicked, this, [this] {
        if (wizard_)
            ui_->guard([this] { wizard_->Command1_Click(); });
    });
    connect(ports_, &QComboBox::activated, this, [this](int index) {
        if (wizard_ && index >= 0)
            ui_->guard([this, index] { wizard_->CmbCommPort_Click(ports_->itemText(index)); });
    });
}

void FrmMain::attach(BenchUi* ui, Wizard* wizard, const QStringList& ports, const QString& port)
{
    ui_ = ui;
    wizard_ = wizard;
    SelectPort(ports_, ports, port);
    uiChanged();
}

int FrmMain::textWidth(const QString& text, FontStyle style) const
{
    return PcTextWidth(text, style, logicalDpiX());
}

void FrmMain::attachFull(BenchState* st, BenchUi* ui, FullWindowActions* actions, SupplyLink* supply, SpotGrid* gridV,
                         SpotGrid* gridC, const QStringList& ports, const QString& supplyPort, const QString& meterPort)
{
    ui_ = ui;
    actions_ = actions;
    full_ = new FullView(*st, *ui, *gridV, *gridC, this);
    full_->setActions(actions);
    full_->setSupply(supply);
    full_->setPorts(ports, supplyPort, meterPort);
    // The compact window's controls go with its central widget.
    setCentralWidget(full_);
    central_ = full_;
    frame2_ = nullptr;
    pc_ = nullptr;
    button_ = nullptr;
    progressLabel_ = nullptr;
    progress_ = nullptr;
    portLabel_ = nullptr;
    ports_ = nullptr;
    picture1_ = full_->focusSink();
    connect(full_, &FullView::acted, this, &FrmMain::uiChanged);
    connect(full_, &FullView::layoutWanted, this, &FrmMain::relayout);

    const int dpi = logicalDpiX();
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(TwipsToPx(WindowWidth, dpi), TwipsToPx(FullHeight, dpi));
    if (st->RunMode < 2)
        setWindowState(windowState() | Qt::WindowMaximized);
    uiChanged();
    relayout();
}

void FrmMain::setEditorPanel(QWidget* panel)
{
    if (full_)
        full_->setEditorPanel(panel);
    relayout();
}

void FrmMain::relayout()
{
    if (full_)
        full_->arrange(frameGeometry().size(), statusBar()->height());
}

void FrmMain::gridChanged(bool current, int row)
{
    if (full_)
        full_->gridChanged(current, row);
}

void FrmMain::scrollGrid(bool current, int row)
{
    if (full_)
        full_->scrollGrid(current, row);
}

void FrmMain::redrawChart(bool current)
{
    if (full_)
        full_->redrawChart(current);
}

void FrmMain::showResultsView()
{
    if (!full_)
        return;
    showMaximized();
    relayout();
}

void FrmMain::uiChanged()
{
    if (!ui_)
        return;
    const BenchUi& ui = *ui_;
    if (full_) {
        full_->follow();
        if (!ui.full().windowCaption.isEmpty())
            setWindowTitle(ui.full().windowCaption);
    } else {
        followCompact();
    }
    status1_->setText(ui.status(1));
    status2_->setText(ui.status(2));
    if (ui.busy() != busyCursor_) {
        busyCursor_ = ui.busy();
        if (busyCursor_)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QApplication::restoreOverrideCursor();
    }
}

void FrmMain::followCompact()
{
    const BenchUi& ui = *ui_;
    pc_->setRuns(ui.pcRuns());
    button_->setText(ui.caption());
    button_->setEnabled(ui.buttonEnabled());
    if (ui.buttonFocused() && !button_->hasFocus()) {
        button_->setFocus();
        ui_->clearFocus();
    }
    ports_->setEnabled(ui.portSelectable());
    progress_->setMaximum(ui.progressMax());
    progress_->setValue(ui.progressValue());
    progress_->setVisible(ui.progressVisible());
    progressLabel_->setVisible(ui.progressVisible());
}

void FrmMain::messageBox(const QString& text)
{
    QMessageBox::information(this, windowTitle(), text);
}

bool FrmMain::askRetry(const QString& text)
{
    return QMessageBox::warning(this, windowTitle(), text, QMessageBox::Retry | QMessageBox::Cancel) ==
           QMessageBox::Retry;
}

void FrmMain::refuse(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Cancel, this);
    box.exec();
}

void FrmMain::note(const QString& text)
{
    note_->setText(text);
}

void FrmMain::repeated(const QString& what, int total)
{
    repeats_->setText(total > 0 ? RepeatsText(total) : QString());
    repeats_->setToolTip(what);
    repeats_->setVisible(total > 0);
}

void FrmMain::programEnded(int status)
{
    hide();
    emit ended(status);
}

void FrmMain::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (!ui_) {
        programEnded(0);
        return;
    }
    ui_->guard([this] {
        if (actions_)
            actions_->FormUnload();
        else if (wizard_)
            wizard_->FormUnload();
        ui_->endProgram(0);
    });
}

void FrmMain::changeEvent(QEvent* event)
{
    // No button keeps the focus when the window comes to the front.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        if (actions_)
            actions_->FormActivate();
        picture1_->setFocus();
    }
    QMainWindow::changeEvent(event);
}

void FrmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    relayout();
}

} // namespace psucal
