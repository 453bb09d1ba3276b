#include "terminal/EventStream.h"

#include <QDateTime>
#include <QFile>
#include <algorithm>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace psucal {

EventStream::~EventStream()
{
    if (ownFd_)
        ::close(fd_);
}

bool EventStream::open(const QString& file, int stdoutFd, QString* error)
{
    clock_.start();
    if (file == u"-") {
        fd_ = stdoutFd;
        return true;
    }
    fd_ = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        *error = QStringLiteral("cannot write the events file %1: %2").arg(file, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    ownFd_ = true;
    return true;
}

void EventStream::write(const char* type, const QJsonObject& fields)
{
    if (fd_ < 0)
        return;
    // The type and the times lead, whatever order the object keeps its keys in.
    QByteArray line = "{\"type\":\"" + QByteArray(type) + "\",\"time\":\"" +
                      QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toLatin1() + "\",\"t\":" +
                      QByteArray::number(clock_.nsecsElapsed() / 1e9, 'f', 3);
    const QByteArray rest = QJsonDocument(fields).toJson(QJsonDocument::Compact);
    line += rest.size() > 2 ? "," + rest.mid(1) : QByteArray("}");
    line += '\n';
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t n = ::write(fd_, line.constData() + done, static_cast<size_t>(line.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // a reader that went away must not stop the run
        done += n;
    }
}

void EventStream::start(const QString& port, const QString& serial, const QString& rating, bool answered)
{
    write("start", {{"port", port}, {"serial", serial}, {"rating", rating}, {"answered", answered}});
}

void EventStream::stepStart(const QString& step)
{
    step_ = step;
    percent_ = -1;
    lastMessage_.clear();
    write("step_start", {{"step", step}});
}

void EventStream::stepEnd(const QString& step, bool ok, const QString& detail)
{
    // A message shown during the step says more than the step's own words ("Cal.V failed !").
    QString why = detail;
    if (!ok && !lastMessage_.isEmpty())
        why = why.isEmpty() ? lastMessage_ : lastMessage_ + QStringLiteral("; ") + why;
    if (!ok && firstFailure_.isEmpty())
        firstFailure_ = QStringLiteral("%1 step: %2").arg(step, why.isEmpty() ? QStringLiteral("failed") : why);
    write("step_end", {{"step", step}, {"ok", ok}, {"detail", why}});
    step_.clear();
}

void EventStream::progress(int value, int max)
{
    if (max <= 0 || step_.isEmpty())
        return;
    const int percent = std::clamp(100 * value / max, 0, 100);
    if (percent == percent_)
        return;
    percent_ = percent;
    write("progress", {{"step", step_}, {"percent", percent}});
}

void EventStream::page(const QString& text)
{
    write("page", {{"text", text}});
}

void EventStream::message(const QString& text, bool note)
{
    if (!step_.isEmpty() && !note)
        lastMessage_ = text;
    write("message", note ? QJsonObject{{"text", text}, {"note", true}} : QJsonObject{{"text", text}});
}

void EventStream::prompt(const QString& text)
{
    write("prompt", {{"text", text}});
}

void EventStream::repeat(const QString& what, int total)
{
    write("repeat", {{"what", what}, {"total", total}});
}

void EventStream::outcome(int status, const QString& result, const QString& reason, int repeats)
{
    write("outcome", {{"status", status}, {"result", result}, {"reason", reason}, {"repeats", repeats}});
}

} // namespace psucal
