#pragma once

#include <QElapsedTimer>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace psucal {

// A batch run told as JSON lines, one object a line, for whoever watches the run: the station,
// a line's MES, a test executive. Every line has "type", "time" (UTC, ISO 8601 with
// milliseconds) and "t" (seconds since the run began). Each line is written whole with one
// call, so a reader on a pipe never sees half of one. A stream that is not open writes nothing.
class EventStream {
public:
    EventStream() = default;
    ~EventStream();
    EventStream(const EventStream&) = delete;
    EventStream& operator=(const EventStream&) = delete;

    // FILE, created or emptied; "-" writes to `stdoutFd`.
    bool open(const QString& file, int stdoutFd, QString* error);
    bool isOpen() const { return fd_ >= 0; }

    void start(const QString& port, const QString& serial, const QString& rating, bool answered);
    void stepStart(const QString& step);
    void stepEnd(const QString& step, bool ok, const QString& detail);
    // The running step's progress bar; a line only when the whole percent changes.
    void progress(int value, int max);
    void page(const QString& text);
    // A message box's text, or with `note` a line worth seeing in passing (the meter's identity).
    void message(const QString& text, bool note = false);
    // The run waits for a line on its input.
    void prompt(const QString& text);
    void repeat(const QString& what, int total);
    // The last line: the exit status, the result in a word or two and why, when it failed.
    void outcome(int status, const QString& result, const QString& reason, int repeats);

    // What went wrong first in this run, for the outcome's reason: a failed step's detail, or a
    // message shown while a step ran.
    const QString& firstFailure() const { return firstFailure_; }
    void noteFailure(const QString& why)
    {
        if (firstFailure_.isEmpty())
            firstFailure_ = why;
    }

private:
    void write(const char* type, const QJsonObject& fields);

    int fd_ = -1;
    bool ownFd_ = false;
    QElapsedTimer clock_;
    QString step_;
    int percent_ = -1;
    QString lastMessage_;
    QString firstFailure_;
};

} // namespace psucal
