#include "station/StationConsole.h"

#include <QCoreApplication>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace psucal {

namespace {
constexpr int RedrawMs = 250; // a live line need not move faster than an eye reads it

QString Cell(const QString& text, int width)
{
    return (text.isEmpty() ? QStringLiteral("-") : text).leftJustified(width);
}

QString Outcome(const UnitRun::View& v)
{
    switch (v.phase) {
    case UnitRun::Phase::Idle:
        return QStringLiteral("waiting to start");
    case UnitRun::Phase::Running:
        return QStringLiteral("running");
    case UnitRun::Phase::Waiting:
        return QStringLiteral("short the output terminals");
    case UnitRun::Phase::Ended:
        break;
    }
    return v.reason.isEmpty() ? v.result : v.result + QStringLiteral(": ") + v.reason;
}

QString Minutes(double seconds)
{
    const int s = static_cast<int>(seconds + 0.5);
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QChar(u'0'));
}
} // namespace

StationConsole::StationConsole(Station& station, FILE* out, int inputFd)
    : station_(station), out_(out), inputFd_(inputFd), tty_(::isatty(fileno(out)) != 0)
{
    redrawTimer_.setSingleShot(true);
    redrawTimer_.setInterval(RedrawMs);
    connect(&redrawTimer_, &QTimer::timeout, this, &StationConsole::redraw);
    connect(&station_, &Station::changed, this, &StationConsole::changed);
    connect(&station_, &Station::allEnded, this, [] { QCoreApplication::exit(0); });
}

QString StationConsole::Line(const UnitRun::View& v)
{
    const QString progress = v.step.isEmpty() ? QStringLiteral("-") : QStringLiteral("%1%").arg(v.percent);
    return Cell(v.name, 8) + u' ' + Cell(v.serial, 12) + u' ' + Cell(v.rating, 9) + u' ' + Cell(v.step, 8) + u' ' +
           progress.rightJustified(4) + QStringLiteral("  ") + Outcome(v);
}

QString StationConsole::Summary(const QList<UnitRun*>& units)
{
    QString out = QStringLiteral("Unit  Port      Serial       Rating    Result            Time   Repeats  Why\n");
    int done = 0;
    for (qsizetype k = 0; k < units.size(); ++k) {
        const UnitRun::View& v = units[k]->view();
        done += v.recalibrated() ? 1 : 0;
        const QString result = v.phase == UnitRun::Phase::Ended ? v.result : QStringLiteral("not run");
        out += QString::number(k + 1).leftJustified(5) + u' ' + Cell(v.name, 9) + u' ' + Cell(v.serial, 12) + u' ' +
               Cell(v.rating, 9) + u' ' + Cell(result, 17) + u' ' + Minutes(v.seconds).rightJustified(5) + QStringLiteral("  ") +
               QString::number(v.repeats).rightJustified(7) + QStringLiteral("  ") + v.reason;
        while (out.endsWith(u' '))
            out.chop(1);
        out += u'\n';
    }
    return out + QStringLiteral("%1 of %2 units recalibrated.\n").arg(done).arg(units.size());
}

void StationConsole::print(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), out_);
    std::fflush(out_);
}

void StationConsole::changed(UnitRun* unit, bool notable)
{
    if (tty_) {
        if (!redrawTimer_.isActive())
            redrawTimer_.start();
    } else if (notable) {
        print(Line(unit->view()) + u'\n');
    }
    if (notable)
        askIfAllWait();
}

void StationConsole::redraw()
{
    QString block;
    // Back to the first line drawn, each line then written over.
    if (drawnLines_ > 0)
        block += QStringLiteral("\x1b[%1A").arg(drawnLines_);
    QStringList lines;
    for (const UnitRun* unit : station_.units())
        lines << Line(unit->view());
    if (!question_.isEmpty())
        lines << question_;
    for (const QString& line : lines)
        block += QStringLiteral("\r\x1b[2K") + line + u'\n';
    drawnLines_ = static_cast<int>(lines.size());
    print(block);
}

void StationConsole::askIfAllWait()
{
    const QList<UnitRun*> waiting = station_.allWaiting();
    if (waiting.isEmpty() || !question_.isEmpty())
        return;
    if (inputClosed_) {
        for (UnitRun* unit : waiting)
            unit->closeInput();
        return;
    }
    QStringList names;
    for (const UnitRun* unit : waiting)
        names << unit->view().name;
    question_ = QStringLiteral("Short the output terminals of %1, then press Enter (Ctrl-C ends the run)")
                    .arg(names.join(QStringLiteral(", ")));
    if (tty_)
        redraw();
    else
        print(question_ + u'\n');
    if (::fcntl(inputFd_, F_GETFD) == -1) {
        inputClosed_ = true;
        question_.clear();
        for (UnitRun* unit : waiting)
            unit->closeInput();
        return;
    }
    input_ = std::make_unique<QSocketNotifier>(inputFd_, QSocketNotifier::Read);
    connect(input_.get(), &QSocketNotifier::activated, this, &StationConsole::readAnswer);
}

void StationConsole::readAnswer()
{
    char c;
    const ssize_t n = ::read(inputFd_, &c, 1);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n > 0 && c != '\n')
        return;
    input_.reset();
    question_.clear();
    // The Enter typed moved the terminal's cursor a line further down.
    if (n > 0 && tty_ && ::isatty(inputFd_))
        ++drawnLines_;
    inputClosed_ = n <= 0;
    for (UnitRun* unit : station_.allWaiting()) {
        if (inputClosed_)
            unit->closeInput();
        else
            unit->go();
    }
}

int StationConsole::run()
{
    station_.startAll();
    if (tty_)
        redraw();
    if (station_.running())
        QCoreApplication::exec();
    redrawTimer_.stop();
    if (tty_)
        redraw();
    print(u'\n' + Summary(station_.units()));
    return station_.exitStatus();
}

} // namespace psucal
