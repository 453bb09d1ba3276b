#include "core/BenchUi.h"

#include <algorithm>
#include <map>

namespace psucal {

void BenchUi::endProgram(int status)
{
    throw Cancelled(status);
}

void BenchUi::guard(const std::function<void()>& f)
{
    if (ending())
        return;
    try {
        f();
    } catch (const Cancelled& c) {
        if (ending())
            return; // an inner guard has already ended the program
        endStatus_ = c.status();
        if (onEnding_)
            onEnding_();
        host_.programEnded(c.status());
    }
}

void BenchUi::throwIfEnding() const
{
    if (endStatus_)
        throw Cancelled(*endStatus_);
}

void BenchUi::pcClear()
{
    pc_.clear();
    changed();
}

void BenchUi::pcPrint(int x, int y, const QString& text, FontStyle style)
{
    pc_.push_back(TextRun{x, y, text, style});
    changed();
}

QString BenchUi::pcText() const
{
    std::map<int, QVector<TextRun>> lines;
    for (const TextRun& r : pc_)
        lines[r.y].push_back(r);
    QStringList out;
    for (auto& [y, runs] : lines) {
        std::stable_sort(runs.begin(), runs.end(), [](const TextRun& a, const TextRun& b) { return a.x < b.x; });
        QString line;
        for (const TextRun& r : runs)
            line += r.text;
        out << line;
    }
    return out.join(u'\n');
}

void BenchUi::setCaption(const QString& c)
{
    caption_ = c;
    changed();
}

void BenchUi::setButtonEnabled(bool on)
{
    buttonEnabled_ = on;
    changed();
}

void BenchUi::focusButton()
{
    buttonFocused_ = true;
    changed();
}

void BenchUi::setStatus(int panel, const QString& text)
{
    status_[panel == 1 ? 0 : 1] = text;
    changed();
}

void BenchUi::setBusy(bool busy)
{
    busy_ = busy;
    changed();
}

void BenchUi::setProgressMax(int max)
{
    progressMax_ = std::max(1, max);
    progressValue_ = std::min(progressValue_, progressMax_);
    changed();
}

void BenchUi::setProgressValue(int value)
{
    progressValue_ = std::clamp(value, 0, progressMax_);
    changed();
}

void BenchUi::setProgressVisible(bool visible)
{
    progressVisible_ = visible;
    changed();
}

void BenchUi::setModel(int index)
{
    model_ = RatingAt(index) ? index : -1;
    changed();
}

void BenchUi::setSerialBox(const QString& text)
{
    serialBox_ = text;
    changed();
}

void BenchUi::setPortSelectable(bool on)
{
    portSelectable_ = on;
    changed();
}

} // namespace psucal
