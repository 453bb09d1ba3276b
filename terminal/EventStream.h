#pragma once

#include <QJsonObject>
#include <QString>

#include <cstdio>
#include <memory>

namespace psucal {

// A batch run told as it happens, one JSON object a line (--events FILE, or - for standard
// output), for a station, a line's MES or a test executive. Every line has "type" and "t", the
// seconds since the run started; the types and their fields:
//   start    port, serial, rating, runMode
//   step     step (voltage, current, define), state (start or end), ok (with end)
//   progress step, percent (0-100)
//   page     text: the message area, as the terminal prints it
//   message  text: a message box or a note
//   repeat   what ("supply # GETD reply late: asked again (1 of 2)"), total
//   prompt   text: the run waits for Enter (the terminals to be shorted)
//   outcome  result (recalibrated, not recalibrated, PASS, FAIL, stopped), status (the exit
//            status), repeats, failText
class EventStream {
public:
    // "-": standard output as it was at start (the terminal's own text then goes to stderr).
    static std::unique_ptr<EventStream> Open(const QString& target, QString* error);
    ~EventStream();

    void tell(const QString& type, QJsonObject fields = {});
    // The step the progress events belong to.
    void setStep(const QString& step) { step_ = step; }
    const QString& step() const { return step_; }
    // An outcome has been told; a run has one.
    bool ended() const { return ended_; }
    // Progress as a percentage, told only when it changes.
    void progress(int value, int max);

private:
    explicit EventStream(std::FILE* file) : file_(file) {}
    std::FILE* file_;
    QString step_;
    int percent_ = -1;
    bool ended_ = false;
    double origin_ = 0;
};

} // namespace psucal
