#pragma once

#include "core/BenchUi.h"
#include "terminal/EventStream.h"

#include <QString>

#include <cstdio>

namespace psucal {

// The terminal face of the wizard: pages as text on stdout, progress on stderr (a bar on a
// terminal, plain lines otherwise), message boxes as lines.
class BatchHost : public BenchUiHost {
public:
    BatchHost(FILE* out, FILE* err);

    void attach(BenchUi* ui) { ui_ = ui; }
    // The status the process ends with when the wizard ends it ("CLOSE", a signal).
    void setExitStatus(int status) { exitStatus_ = status; }
    // The last page and the end of the progress bar out; the status the process ends with.
    int finish(int status);

    int textWidth(const QString& text, FontStyle style) const override;
    void uiChanged() override;
    void messageBox(const QString& text) override;
    // Nobody is there to fix the cause: the text is printed and the answer is Cancel.
    bool askRetry(const QString& text) override;
    void note(const QString& text) override;
    void repeated(const QString& what, int total) override;
    // Leaves the event loop the prompt may be waiting in.
    void programEnded(int status) override;

    // Prints the message area if it changed since it was last printed.
    void flushPage();

    // The run's events: pages, progress, messages and repeats go there as they are shown.
    EventStream& events() { return events_; }

private:
    void progress();

    FILE* out_;
    FILE* err_;
    bool errIsTty_;
    BenchUi* ui_ = nullptr;
    EventStream events_;
    int exitStatus_ = -1;
    QString printedPage_;
    QString lastCaption_;
    int lastValue_ = -1;
    int lastMax_ = -1;
    int lastDecile_ = -1;
    bool barOpen_ = false;
};

} // namespace psucal
