#pragma once

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <map>

namespace psucal::test {

// psucal-sim on its pseudo-terminals, in real time; stopped when it goes. With `eepromOut`, the
// supply's image is written there.
struct Sim {
    explicit Sim(const QStringList& args, const QString& eepromOut = QString())
    {
        QStringList all = args;
        if (!eepromOut.isEmpty())
            all << "--eeprom-out" << eepromOut;
        process.start(PSUCAL_SIM_PATH, all);
        process.waitForStarted(5000);
        QByteArray out;
        while (!out.contains("meter ") && process.waitForReadyRead(5000))
            out += process.readAllStandardOutput();
        const auto m = QRegularExpression("supply (\\S+)").match(QString::fromLatin1(out));
        if (m.hasMatch())
            port = m.captured(1);
        const auto mm = QRegularExpression("meter (\\S+)").match(QString::fromLatin1(out));
        if (mm.hasMatch())
            meter = mm.captured(1);
        const auto mt = QRegularExpression("meter-tcp (\\S+)").match(QString::fromLatin1(out));
        if (mt.hasMatch())
            meterTcp = mt.captured(1);
    }
    ~Sim()
    {
        process.terminate();
        process.waitForFinished(3000);
    }
    QProcess process;
    QString port;
    QString meter;
    QString meterTcp; // with --meter-tcp
};

// The rows of an image file, cells joined: "005 ?? ?? 02 02" gives row 5 "????0202".
inline std::map<int, QString> ReadRows(const QString& path)
{
    static const QRegularExpression line("^(\\d{3}) ((?:[0-?]{2} ){3}[0-?]{2})$");
    std::map<int, QString> rows;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return rows;
    for (const QString& l : QString::fromLatin1(f.readAll()).split('\n')) {
        const auto m = line.match(l);
        if (m.hasMatch())
            rows[m.captured(1).toInt()] = m.captured(2).remove(' ');
    }
    return rows;
}

} // namespace psucal::test
