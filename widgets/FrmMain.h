#pragma once

#include "core/BenchUi.h"

#include <QMainWindow>

class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace psucal {

class FullView;
class FullWindowActions;
class PcWidget;
class SpotGrid;
class SupplyLink;
class Wizard;
struct BenchState;

// The main window. Run mode 3: the compact recalibration window (message area, wizard button,
// progress bar, supply-port selector, two-panel status bar). Run modes 0-2: the full window of
// FullView. Everything it shows comes from BenchUi.
class FrmMain : public QMainWindow, public BenchUiHost {
    Q_OBJECT
public:
    explicit FrmMain(QWidget* parent = nullptr);
    ~FrmMain() override;

    // The window shows `ui` and drives `wizard`; `port` is the supply port selected at start.
    void attach(BenchUi* ui, Wizard* wizard, const QStringList& ports, const QString& port);
    // Run modes 0-2, instead of attach(): the full window shows `ui`, `st` (RunMode, PanelMode,
    // MeterSeen, SpotCount, OnlyRead, SmallCal) and the two grids, and calls `actions` for its
    // controls; a control's new value is stored there before its action is called. A
    // double-click on a Setting sends that set point on `supply` (may be null).
    // All of them must outlive the window. Call before show(): run modes 0 and 1 come up maximised.
    void attachFull(BenchState* st, BenchUi* ui, FullWindowActions* actions, SupplyLink* supply, SpotGrid* gridV,
                    SpotGrid* gridC, const QStringList& ports, const QString& supplyPort, const QString& meterPort);
    // The EEPROM editor panel PEEP of run mode 0, shown while "EEP" is ticked (after attachFull).
    void setEditorPanel(QWidget* panel);
    FullView* fullView() const { return full_; }

    int textWidth(const QString& text, FontStyle style) const override;
    void uiChanged() override;
    void messageBox(const QString& text) override;
    bool askRetry(const QString& text) override;
    void refuse(const QString& text) override;
    // Shown at the right of the status bar until the next one.
    void note(const QString& text) override;
    // The run's count of replies asked again, in the status bar while there are any.
    void repeated(const QString& what, int total) override;
    // Hides the window and emits ended().
    void programEnded(int status) override;
    void gridChanged(bool current, int row) override;
    void scrollGrid(bool current, int row) override;
    void redrawChart(bool current) override;
    void showResultsView() override;

    QPushButton* wizardButton() const;
    QComboBox* portSelector() const;
    QProgressBar* progressBar() const;
    QLabel* statusPanel(int panel) const { return panel == 1 ? status1_ : status2_; }
    QLabel* notePanel() const { return note_; }
    QLabel* repeatsPanel() const { return repeats_; }
    QWidget* messageArea() const;
    QWidget* focusSink() const { return picture1_; }

signals:
    // The program is over: the event loops are to end and main to return `status`.
    void ended(int status);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildRunMode3();
    void followCompact();
    void relayout();
    void place(QWidget* w, int left, int top, int width, int height);

    BenchUi* ui_ = nullptr;
    Wizard* wizard_ = nullptr;
    FullWindowActions* actions_ = nullptr;
    FullView* full_ = nullptr;
    bool busyCursor_ = false;
    QWidget* central_ = nullptr;
    QGroupBox* frame2_ = nullptr;
    PcWidget* pc_ = nullptr;
    QPushButton* button_ = nullptr;
    QLabel* progressLabel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* portLabel_ = nullptr;
    QComboBox* ports_ = nullptr;
    QLabel* status1_ = nullptr;
    QLabel* status2_ = nullptr;
    QLabel* note_ = nullptr;
    QLabel* repeats_ = nullptr;
    QWidget* picture1_ = nullptr;
};

} // namespace psucal
