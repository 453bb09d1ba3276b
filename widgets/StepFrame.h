#pragma once

#include <QGroupBox>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace psucal {

class BenchUi;
class FullWindowActions;
struct BenchState;

// Frame2 of the full window: the step boxes "Define", "Cal. V", "Cal. C", the options "Only
// read", "Small Cal." and "EEP", the spot count, "Print" with "Certificate" under it, the progress bar and the buttons
// "Back  <" and the wizard button, and the verdict of the passes run so far. While a page runs
// only the wizard button ("Stop") acts.
class StepFrame : public QGroupBox {
    Q_OBJECT
public:
    StepFrame(BenchUi& ui, BenchState& st, QWidget* parent = nullptr);

    void setActions(FullWindowActions* actions) { actions_ = actions; }
    // Shows the controls as the wizard left them.
    void follow();

    QPushButton* wizardButton() const { return next_; }
    QPushButton* backButton() const { return back_; }
    QCheckBox* stepBox(int index) const { return steps_.at(index); }
    QCheckBox* onlyReadBox() const { return onlyRead_; }
    QCheckBox* smallCalBox() const { return smallCal_; }
    QCheckBox* eepBox() const { return eep_; }
    QComboBox* spotsBox() const { return spots_; }
    QPushButton* printButton() const { return print_; }
    QCheckBox* certificateBox() const { return certificate_; }
    QLabel* verdictLabel() const { return verdict_; }
    QProgressBar* progressBar() const { return progress_; }

signals:
    // An action ran (the control's new value stored first): the window shows the controls again.
    void acted();

private:
    void build();
    void connectActions();
    void showStep(int index, int value, bool visible, bool enabled);
    void showVerdict();

    BenchUi& ui_;
    BenchState& st_;
    FullWindowActions* actions_ = nullptr;
    std::array<QCheckBox*, 3> steps_{};
    QCheckBox* onlyRead_ = nullptr;
    QCheckBox* smallCal_ = nullptr;
    QCheckBox* eep_ = nullptr;
    QComboBox* spots_ = nullptr;
    QPushButton* print_ = nullptr;
    QCheckBox* certificate_ = nullptr;
    QLabel* verdict_ = nullptr;
    QLabel* progressLabel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* next_ = nullptr;
};

} // namespace psucal
