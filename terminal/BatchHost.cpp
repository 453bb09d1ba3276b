#include "terminal/BatchHost.h"

#include "spots/PcFont.h"

#include <QCoreApplication>
#include <QThread>

#include <unistd.h>

namespace psucal {

BatchHost::BatchHost(FILE* out, FILE* err) : out_(out), err_(err), errIsTty_(isatty(fileno(err)) != 0) {}

int BatchHost::textWidth(const QString& text, FontStyle style) const
{
    return PcTextWidth(text, style);
}

void BatchHost::flushPage()
{
    if (!ui_)
        return;
    const QString page = ui_->pcText();
    if (page == printedPage_)
        return;
    printedPage_ = page;
    if (barOpen_) {
        std::fputc('\n', err_);
        barOpen_ = false;
    }
    std::fprintf(out_, "%s\n", page.toLocal8Bit().constData());
    std::fflush(out_);
    events_.page(page);
}

void BatchHost::uiChanged()
{
    if (!ui_)
        return;
    // A page is complete when the wizard button changes state or a sweep starts moving.
    if (ui_->caption() != lastCaption_) {
        lastCaption_ = ui_->caption();
        flushPage();
    }
    if (ui_->progressValue() != lastValue_ || ui_->progressMax() != lastMax_) {
        if (ui_->progressValue() > 0)
            flushPage();
        progress();
    }
}

void BatchHost::progress()
{
    const int value = ui_->progressValue();
    const int max = ui_->progressMax();
    lastValue_ = value;
    lastMax_ = max;
    if (value > 0)
        events_.progress(value, max);
    if (value <= 0) {
        lastDecile_ = -1;
        return;
    }
    if (errIsTty_) {
        constexpr int width = 40;
        const int filled = width * value / max;
        std::fprintf(err_, "\r[%s%s] %d/%d", QByteArray(filled, '#').constData(),
                     QByteArray(width - filled, '.').constData(), value, max);
        barOpen_ = true;
    } else {
        const int decile = 10 * value / max;
        if (decile == lastDecile_)
            return;
        lastDecile_ = decile;
        std::fprintf(err_, "progress %d/%d\n", value, max);
    }
    std::fflush(err_);
}

void BatchHost::messageBox(const QString& text)
{
    flushPage();
    std::fprintf(out_, "[message] %s\n", text.toLocal8Bit().constData());
    std::fflush(out_);
    events_.message(text);
}

void BatchHost::note(const QString& text)
{
    flushPage();
    std::fprintf(out_, "%s\n", text.toLocal8Bit().constData());
    std::fflush(out_);
    events_.message(text, true);
}

void BatchHost::repeated(const QString& what, int total)
{
    // An empty one only starts a new unit's count.
    if (!what.isEmpty())
        events_.repeat(what, total);
}

bool BatchHost::askRetry(const QString& text)
{
    messageBox(text);
    return false;
}

void BatchHost::programEnded(int status)
{
    // A signal at the prompt: its event loop ends too. Waits end on StopFlag by themselves.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(status);
}

int BatchHost::finish(int status)
{
    flushPage();
    if (barOpen_)
        std::fputc('\n', err_);
    barOpen_ = false;
    std::fflush(out_);
    std::fflush(err_);
    return exitStatus_ >= 0 ? exitStatus_ : status;
}

} // namespace psucal
