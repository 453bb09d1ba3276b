#include "station/UnitRun.h"

#include "terminal/StationOptions.h"

#include <QJsonDocument>

#include <csignal>
#include <sys/prctl.h>

namespace psucal {

UnitRun::UnitRun(const QString& port, QObject* parent) : QObject(parent)
{
    v_.port = port;
    v_.name = PortShortName(port);
    connect(&process_, &QProcess::readyReadStandardOutput, this, &UnitRun::readEvents);
    connect(&process_, &QProcess::readyReadStandardError, this, &UnitRun::readErrors);
    connect(&process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus how) {
        readEvents();
        readErrors();
        if (told_ && how == QProcess::NormalExit)
            finish(v_.result, v_.reason, code);
        else
            finish(QStringLiteral("crashed"),
                   QStringLiteral("psucal ended without saying how%1")
                       .arg(lastErrors_.isEmpty() ? QString() : QStringLiteral(": ") + lastErrors_.last()),
                   how == QProcess::NormalExit ? code : 128 + SIGKILL);
    });
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            finish(QStringLiteral("not started"), process_.errorString(), 2);
    });
}

UnitRun::~UnitRun()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(1000);
    }
}

void UnitRun::start(const QString& program, const QStringList& args, const QString& eventsCopy)
{
    if (v_.phase == Phase::Running || v_.phase == Phase::Waiting)
        return;
    View fresh;
    fresh.port = v_.port;
    fresh.name = v_.name;
    v_ = fresh;
    v_.phase = Phase::Running;
    told_ = false;
    pending_.clear();
    lastErrors_.clear();
    copy_.reset();
    if (!eventsCopy.isEmpty()) {
        copy_ = std::make_unique<QFile>(eventsCopy);
        if (!copy_->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            copy_.reset();
    }
    // A unit goes when the station goes, however the station ends: it still sends "ENDS".
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    clock_.start();
    process_.start(program, args);
    emit changed(this, true);
}

void UnitRun::go()
{
    if (v_.phase != Phase::Waiting)
        return;
    process_.write("\n");
    v_.phase = Phase::Running;
    emit changed(this, true);
}

void UnitRun::closeInput()
{
    process_.closeWriteChannel();
}

void UnitRun::stop()
{
    if (process_.state() != QProcess::NotRunning)
        process_.terminate();
}

void UnitRun::readEvents()
{
    pending_ += process_.readAllStandardOutput();
    bool notable = false;
    bool any = false;
    for (qsizetype end; (end = pending_.indexOf('\n')) >= 0; pending_.remove(0, end + 1)) {
        const QByteArray line = pending_.left(end);
        if (copy_)
            copy_->write(line + '\n');
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (doc.isObject()) {
            apply(doc.object(), &notable);
            any = true;
        }
    }
    if (any)
        emit changed(this, notable);
}

void UnitRun::readErrors()
{
    for (const QByteArray& l : process_.readAllStandardError().split('\n'))
        if (!l.trimmed().isEmpty())
            lastErrors_ << QString::fromLocal8Bit(l.trimmed());
    while (lastErrors_.size() > 20)
        lastErrors_.removeFirst();
}

void UnitRun::apply(const QJsonObject& e, bool* notable)
{
    const QString type = e.value(u"type").toString();
    if (type == u"progress") {
        const int percent = e.value(u"percent").toInt();
        *notable = *notable || percent / 25 != v_.percent / 25;
        v_.percent = percent;
        return;
    }
    if (type == u"page") {
        v_.page = e.value(u"text").toString();
        return;
    }
    if (type == u"repeat") {
        v_.repeats = e.value(u"total").toInt();
        return;
    }
    *notable = true;
    if (type == u"start") {
        v_.serial = e.value(u"serial").toString();
        v_.rating = e.value(u"rating").toString();
    } else if (type == u"step_start") {
        v_.step = e.value(u"step").toString();
        v_.percent = 0;
    } else if (type == u"step_end") {
        v_.percent = e.value(u"ok").toBool() ? 100 : v_.percent;
        if (!e.value(u"ok").toBool() && v_.reason.isEmpty())
            v_.reason = QStringLiteral("%1 step: %2").arg(e.value(u"step").toString(), e.value(u"detail").toString());
    } else if (type == u"prompt") {
        v_.phase = Phase::Waiting;
        v_.step.clear();
    } else if (type == u"outcome") {
        told_ = true;
        v_.result = e.value(u"result").toString();
        v_.reason = e.value(u"reason").toString();
        v_.status = e.value(u"status").toInt();
        v_.repeats = e.value(u"repeats").toInt(v_.repeats);
    } else {
        *notable = false;
    }
}

void UnitRun::finish(const QString& result, const QString& reason, int status)
{
    if (v_.phase == Phase::Ended)
        return;
    v_.phase = Phase::Ended;
    v_.result = result;
    v_.reason = status == 0 ? QString() : reason;
    v_.status = status;
    v_.seconds = clock_.isValid() ? clock_.elapsed() / 1000.0 : 0;
    copy_.reset();
    emit changed(this, true);
    emit ended(this);
}

} // namespace psucal
