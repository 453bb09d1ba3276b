#include "link/Trace.h"

#include "core/Clock.h"

namespace psucal {

Trace::Trace(const QString& path, const Clock& clock) : file_(path), clock_(clock)
{
    // Each line reaches the file as it happens, so `tail -f` follows a run and a crash keeps it.
    file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text | QIODevice::Unbuffered);
}

QByteArray Trace::escape(const QByteArray& bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else if (c < 0x20 || c >= 0x7f)
            out += "\\x" + QByteArray::number(c, 16).rightJustified(2, '0');
        else
            out += ch;
    }
    return out;
}

void Trace::line(const char* port, char dir, const QByteArray& bytes)
{
    if (!file_.isOpen())
        return;
    QByteArray l = QByteArray::number(clock_.now() * 1000.0, 'f', 1);
    l += ' ';
    l += port;
    l += ' ';
    l += dir;
    l += ' ';
    l += escape(bytes);
    l += '\n';
    file_.write(l);
}

} // namespace psucal
