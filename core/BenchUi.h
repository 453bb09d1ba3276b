#pragma once

#include "core/Cancelled.h"
#include "core/FullWindowUi.h"
#include "core/Rating.h"
#include "core/WizardCaption.h"

#include <QString>
#include <QVector>

#include <functional>
#include <optional>

namespace psucal {

enum class FontStyle { Regular, Bold, BoldUnderline };

// One piece of text in the wizard's message area, positioned in twips.
struct TextRun {
    int x = 0;
    int y = 0;
    QString text;
    FontStyle style = FontStyle::Regular;
    bool operator==(const TextRun&) const = default;
};

// What the front end (window, terminal, test) supplies to the core.
class BenchUiHost {
public:
    virtual ~BenchUiHost() = default;
    // Printed width of text in the message area's font, in twips.
    virtual int textWidth(const QString& text, FontStyle style) const = 0;
    virtual void uiChanged() = 0;
    virtual void messageBox(const QString& text) = 0;
    // Asks whether to try again what just failed: true for Retry, false for Cancel.
    virtual bool askRetry(const QString& text) = 0;
    // The bench will not start what was asked: the text, with Cancel as the only answer.
    virtual void refuse(const QString& text) { messageBox(text); }
    // Worth seeing in passing, no answer wanted (the meter's identity): a line in the terminal,
    // the status bar in the window.
    virtual void note(const QString& /*text*/) {}
    // An exchange was asked again after its reply was lost or malformed; `what` says which and
    // why ("supply # GETD reply late: asked again (1 of 2)"), `total` is the run's count so far.
    // A new unit's run starts the count again: told with an empty `what` and 0.
    virtual void repeated(const QString& /*what*/, int /*total*/) {}
    // The program is ending with `status`: leave the event loops so that main can return.
    // Told once; it must not wait.
    virtual void programEnded(int status) = 0;

    // The full window's grids and charts; front ends without them ignore these.
    // A spot row was written (row -1: the grid was rebuilt).
    virtual void gridChanged(bool /*current*/, int /*row*/) {}
    // Bring a spot row into view.
    virtual void scrollGrid(bool /*current*/, int /*row*/) {}
    virtual void redrawChart(bool /*current*/) {}
    // The meter has delivered: maximise the window and lay out grids and charts (MeterSeen is set).
    virtual void showResultsView() {}
};

// The controls the procedures drive, as plain data. Front ends show it; tests read it.
class BenchUi {
public:
    explicit BenchUi(BenchUiHost& host) : host_(host) {}

    BenchUiHost& host() { return host_; }

    // Message area PC (5545 x 1800 twips).
    static constexpr int PcWidth = 5545;
    static constexpr int PcHeight = 1800;
    void pcClear();
    void pcPrint(int x, int y, const QString& text, FontStyle style);
    int textWidth(const QString& text, FontStyle style) const { return host_.textWidth(text, style); }
    const QVector<TextRun>& pcRuns() const { return pc_; }
    QString pcText() const; // runs joined per line, for logs and tests

    // Wizard button Command1(1); its caption is the wizard's state.
    void setCaption(const QString& c);
    const QString& caption() const { return caption_; }
    void setButtonEnabled(bool on);
    bool buttonEnabled() const { return buttonEnabled_; }
    void focusButton();
    bool buttonFocused() const { return buttonFocused_; }
    void clearFocus() { buttonFocused_ = false; }

    // StatusBar1 panels 1 and 2.
    void setStatus(int panel, const QString& text);
    const QString& status(int panel) const { return status_[panel == 1 ? 0 : 1]; }

    // Mouse pointer: arrow-and-hourglass while busy.
    void setBusy(bool busy);
    bool busy() const { return busy_; }

    // ProgressBar1 and its label Label4(4).
    void setProgressMax(int max);
    int progressMax() const { return progressMax_; }
    void setProgressValue(int value);
    int progressValue() const { return progressValue_; }
    void setProgressVisible(bool visible);
    bool progressVisible() const { return progressVisible_; }

    // CmbModel selection: an entry of the rating table, -1 none.
    void setModel(int index);
    int model() const { return model_; }
    const Rating* rating() const { return RatingAt(model_); }

    // Serial-number box TxtH(4).
    void setSerialBox(const QString& text);
    const QString& serialBox() const { return serialBox_; }

    // Supply-port selector CmbCommPort: locked while an exchange with the supply runs.
    void setPortSelectable(bool on);
    bool portSelectable() const { return portSelectable_; }

    // The full window of run modes 0-2: change it in place, then call fullChanged() so that the
    // window follows.
    const FullWindowUi& full() const { return full_; }
    FullWindowUi& full() { return full_; }
    void fullChanged() { changed(); }
    void gridChanged(bool current, int row) { host_.gridChanged(current, row); }
    void scrollGrid(bool current, int row) { host_.scrollGrid(current, row); }
    void redrawChart(bool current) { host_.redrawChart(current); }
    void showResultsView() { host_.showResultsView(); }

    void messageBox(const QString& text) { host_.messageBox(text); }
    bool askRetry(const QString& text) { return host_.askRetry(text); }
    void refuse(const QString& text) { host_.refuse(text); }
    void note(const QString& text) { host_.note(text); }
    void repeated(const QString& what, int total) { host_.repeated(what, total); }

    // Ends the program: throws Cancelled, which unwinds to guard() or to main.
    [[noreturn]] void endProgram(int status);
    // Runs what the event loop calls in with (a click, a close, a signal) and stops a Cancelled
    // there: exceptions must not cross Qt's event dispatch. The first one ends the program:
    // `onEnding` runs, the host is told, and from then on guard() runs nothing.
    void guard(const std::function<void()>& f);
    void setOnEnding(std::function<void()> f) { onEnding_ = std::move(f); }
    bool ending() const { return endStatus_.has_value(); }
    int endStatus() const { return endStatus_.value_or(0); }
    // For code after an event loop of its own, which the end may have left.
    void throwIfEnding() const;

private:
    void changed() { host_.uiChanged(); }

    BenchUiHost& host_;
    std::function<void()> onEnding_;
    std::optional<int> endStatus_;
    QVector<TextRun> pc_;
    QString caption_ = caption::Design;
    bool buttonEnabled_ = true;
    bool buttonFocused_ = false;
    QString status_[2];
    bool busy_ = false;
    int progressMax_ = 10;
    int progressValue_ = 0;
    bool progressVisible_ = true;
    int model_ = -1;
    QString serialBox_ = QStringLiteral("88888888");
    bool portSelectable_ = true;
    FullWindowUi full_;
};

} // namespace psucal
