#pragma once

#include "core/BenchUi.h"

#include <QString>
#include <QStringList>

namespace psucal::test {

// A front end that remembers what the operator would have seen. Every character is 100 twips
// wide whatever its style, so positions computed from widths are easy to predict.
class RecordingHost : public BenchUiHost {
public:
    static constexpr int CharWidth = 100;

    int textWidth(const QString& text, FontStyle) const override { return CharWidth * static_cast<int>(text.size()); }
    void uiChanged() override { ++changes; }
    void messageBox(const QString& text) override { messages << text; }
    // Answers Retry `retries` times, then Cancel.
    bool askRetry(const QString& text) override
    {
        questions << text;
        return retries-- > 0;
    }
    void refuse(const QString& text) override { refusals << text; }
    void note(const QString& text) override { notes << text; }
    void repeated(const QString& what, int) override { repeats << what; }
    void programEnded(int) override {}

    QStringList messages;
    QStringList refusals;
    QStringList notes;
    QStringList questions;
    QStringList repeats;
    int retries = 0;
    int changes = 0;
};

} // namespace psucal::test
