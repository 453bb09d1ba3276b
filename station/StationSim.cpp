#include "station/StationSim.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace psucal {

StationSim::~StationSim()
{
    for (auto& sim : sims_)
        sim->terminate();
    for (auto& sim : sims_)
        sim->waitForFinished(2000);
}

QStringList StationSim::start(const QList<int>& ratings, QString* error)
{
    QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/psucal-sim");
    if (!QFileInfo(exe).isExecutable())
        exe = QStandardPaths::findExecutable(QStringLiteral("psucal-sim"));
    if (exe.isEmpty()) {
        *error = QStringLiteral("the simulator psucal-sim is neither beside psucal nor on the path");
        return {};
    }
    QStringList ports;
    for (int k = 1; k <= ratings.size(); ++k) {
        const QString link = dir_.filePath(QStringLiteral("sim%1").arg(k));
        auto sim = std::make_unique<QProcess>();
        sim->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Out of the terminal's process group: Ctrl-C must leave the units their ENDS to send.
        sim->setChildProcessModifier([] {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        });
        sim->start(exe, {QStringLiteral("--model"), QString::number(ratings[k - 1]), QStringLiteral("--seed"),
                         QString::number(k), QStringLiteral("--link"), link});
        sims_.push_back(std::move(sim));
        ports << link;
    }
    // They start side by side; each says when its port is there.
    for (auto& sim : sims_) {
        QByteArray out;
        while (!out.contains("supply ") && sim->waitForReadyRead(5000))
            out += sim->readAllStandardOutput();
        if (!out.contains("supply ")) {
            *error = QStringLiteral("a simulated unit did not start: %1").arg(sim->errorString());
            return {};
        }
    }
    return ports;
}

} // namespace psucal
