#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace psucal {

// One unit of a station: a psucal of its own on one port, running the batch path, its events read
// as they come. Whatever that process does, crash included, touches no other unit.
class UnitRun : public QObject {
    Q_OBJECT
public:
    enum class Phase { Idle, Running, Waiting, Ended }; // Waiting: at the prompt to short the terminals
    struct View {
        QString port;
        QString name; // the port's short name
        QString serial;
        QString rating;
        QString step; // voltage, current; empty between steps
        int percent = 0;
        QString page;   // the unit's page text, as its run last showed it
        QString result; // recalibrated, not recalibrated, no connection, ended, crashed
        QString reason;
        int status = -1; // the unit's exit status once ended
        int repeats = 0;
        double seconds = 0; // from its start to its end
        Phase phase = Phase::Idle;
        bool recalibrated() const { return phase == Phase::Ended && status == 0; }
    };

    explicit UnitRun(const QString& port, QObject* parent = nullptr);
    ~UnitRun() override;

    // `eventsCopy`: a file that gets each event line as it comes; empty for none.
    void start(const QString& program, const QStringList& args, const QString& eventsCopy);
    // Answers the unit's prompt: its terminals are shorted.
    void go();
    // No answer will come: the unit ends its run without the current step.
    void closeInput();
    // The unit sends "ENDS" and ends, as on Ctrl-C.
    void stop();
    const View& view() const { return v_; }

signals:
    // `notable`: more than progress within a step (a step, the prompt, the outcome).
    void changed(psucal::UnitRun* unit, bool notable);
    void ended(psucal::UnitRun* unit);

private:
    void readEvents();
    void readErrors();
    void apply(const QJsonObject& e, bool* notable);
    void finish(const QString& result, const QString& reason, int status);

    QProcess process_;
    QByteArray pending_;
    QStringList lastErrors_; // the unit's last lines on stderr, for an end without an outcome
    std::unique_ptr<QFile> copy_;
    QElapsedTimer clock_;
    View v_;
    bool told_ = false; // the outcome came
};

} // namespace psucal
