#pragma once

#include "core/BenchUi.h"

#include <QMainWindow>

#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace psucal {

class PcWidget;
class Wizard;

// The compact recalibration window: message area, wizard button, progress bar, supply-port
// selector and a two-panel status bar. Everything it shows comes from BenchUi.
class FrmMain : public QMainWindow, public BenchUiHost {
    Q_OBJECT
public:
    explicit FrmMain(QWidget* parent = nullptr);
    ~FrmMain() override;

    // The window shows `ui` and drives `wizard`; `port` is the supply port selected at start.
    void attach(BenchUi* ui, Wizard* wizard, const QStringList& ports, const QString& port);
    // Runs just before the process ends (ports released, trace flushed, simulator stopped).
    void setBeforeExit(std::function<void()> f) { beforeExit_ = std::move(f); }

    int textWidth(const QString& text, FontStyle style) const override;
    void uiChanged() override;
    void messageBox(const QString& text) override;
    bool askRetry(const QString& text) override;
    [[noreturn]] void endProgram(int status) override;

    QPushButton* wizardButton() const { return button_; }
    QComboBox* portSelector() const { return ports_; }
    QProgressBar* progressBar() const { return progress_; }
    QLabel* statusPanel(int panel) const { return panel == 1 ? status1_ : status2_; }
    QWidget* messageArea() const;
    QWidget* focusSink() const { return picture1_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildRunMode3();
    void place(QWidget* w, int left, int top, int width, int height);

    BenchUi* ui_ = nullptr;
    Wizard* wizard_ = nullptr;
    std::function<void()> beforeExit_;
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
    QWidget* picture1_ = nullptr;
};

} // namespace psucal
