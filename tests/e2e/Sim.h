#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

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

} // namespace psucal::test
