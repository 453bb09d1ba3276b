#pragma once

#include "core/BenchUi.h"

#include <QString>

#include <cstdio>
#include <functional>

namespace psucal {

// The terminal face of the wizard: pages as text on stdout, progress on stderr (a bar on a
// terminal, plain lines otherwise), message boxes as lines.
class BatchHost : public BenchUiHost {
public:
    BatchHost(FILE* out, FILE* err);

    void attach(BenchUi* ui) { ui_ = ui; }
    void setBeforeExit(std::function<void()> f) { beforeExit_ = std::move(f); }
    // The status the process ends with when the wizard ends it ("CLOSE").
    void setExitStatus(int status) { exitStatus_ = status; }

    int textWidth(const QString& text, FontStyle style) const override;
    void uiChanged() override;
    void messageBox(const QString& text) override;
    // Nobody is there to fix the cause: the text is printed and the answer is Cancel.
    bool askRetry(const QString& text) override;
    [[noreturn]] void endProgram(int status) override;

    // Prints the message area if it changed since it was last printed.
    void flushPage();

private:
    void progress();

    FILE* out_;
    FILE* err_;
    bool errIsTty_;
    BenchUi* ui_ = nullptr;
    std::function<void()> beforeExit_;
    int exitStatus_ = -1;
    QString printedPage_;
    QString lastCaption_;
    int lastValue_ = -1;
    int lastMax_ = -1;
    int lastDecile_ = -1;
    bool barOpen_ = false;
};

} // namespace psucal
