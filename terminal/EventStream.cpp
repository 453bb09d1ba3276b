#include "terminal/EventStream.h"

#include "core/DeadlineTimer.h"

#include <QFile>
#include <QJsonDocument>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace psucal {

std::unique_ptr<EventStream> EventStream::Open(const QString& target, QString* error)
{
    std::FILE* file = nullptr;
    if (target == u"-") {
        // The stream keeps standard output to itself: whatever the run prints goes to stderr.
        const int fd = ::dup(STDOUT_FILENO);
        std::fflush(stdout);
        if (fd >= 0 && ::dup2(STDERR_FILENO, STDOUT_FILENO) >= 0)
            file = ::fdopen(fd, "w");
    } else {
        file = std::fopen(QFile::encodeName(target).constData(), "w");
    }
    if (!file) {
        *error = QStringLiteral("--events %1: %2").arg(target, QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    std::unique_ptr<EventStream> stream(new EventStream(file));
    stream->origin_ = DeadlineTimer::now();
    return stream;
}

EventStream::~EventStream()
{
    std::fclose(file_);
}

void EventStream::tell(const QString& type, QJsonObject fields)
{
    ended_ = ended_ || type == u"outcome";
    fields.insert(QStringLiteral("type"), type);
    fields.insert(QStringLiteral("t"), qRound64((DeadlineTimer::now() - origin_) * 1000) / 1000.0);
    const QByteArray line = QJsonDocument(fields).toJson(QJsonDocument::Compact);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

void EventStream::progress(int value, int max)
{
    const int percent = max > 0 ? std::clamp(100 * value / max, 0, 100) : 0;
    // Identification moves the bar too; only a step's progress is told.
    if (percent == percent_ || step_.isEmpty())
        return;
    percent_ = percent;
    tell(QStringLiteral("progress"), {{QStringLiteral("step"), step_}, {QStringLiteral("percent"), percent}});
}

} // namespace psucal
