#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace psucal {

class Clock;

// One line per frame: monotonic milliseconds, port, direction, the bytes with control
// characters escaped. Example: "1234.5 supply > VOLT00050\r".
class Trace {
public:
    Trace(const QString& path, const Clock& clock);
    bool isOpen() const { return file_.isOpen(); }
    QString error() const { return file_.errorString(); }

    void sent(const char* port, const QByteArray& bytes) { line(port, '>', bytes); }
    void received(const char* port, const QByteArray& bytes) { line(port, '<', bytes); }
    // A line of the program's own about the traffic ("# ..."), never a frame.
    void note(const char* port, const QByteArray& text) { line(port, '#', text); }
    void flush() { file_.flush(); }

    static QByteArray escape(const QByteArray& bytes);

private:
    void line(const char* port, char dir, const QByteArray& bytes);
    QFile file_;
    const Clock& clock_;
};

} // namespace psucal
