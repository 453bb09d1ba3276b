#pragma once

#include "core/VirtualClock.h"
#include "link/Transport.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace psucal::test {

// A supply that answers from a script, in virtual time: set commands and row writes say "OK",
// "GETD" replies are taken from the front of `displays` (the last one stays), rows from `rows`.
// `answer` may take any frame over: a value is sent instead ("" is silence), nullopt falls back.
class ScriptedSupply : public Transport {
public:
    struct Frame {
        double at;
        QString text; // without the carriage return
    };

    explicit ScriptedSupply(VirtualClock& clock) : clock_(clock) {}

    QStringList displays;
    std::map<int, QString> rows; // eight nibble characters; missing rows read "80808080"
    std::function<std::optional<QString>(const QString& command, const QString& data)> answer;
    std::vector<Frame> frames;

    QStringList sent() const;
    QStringList sent(const QString& command) const; // those frames, command and "00" stripped
    double timeOf(int frameIndex) const { return frames.at(static_cast<size_t>(frameIndex)).at; }
    QString row(int r) const;
    QString image() const; // the 1443-character whole-image reply

    // "GETD" reply for the displayed volts and amperes.
    static QString Display(double volts, double amps);

    void setPortName(const QString& name) override { name_ = name; }
    QString portName() const override { return name_; }
    bool open() override { return open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    void discard() override { rx_.clear(); }
    bool write(const QByteArray& bytes) override;
    qint64 bytesAvailable() const override { return rx_.size(); }
    QByteArray readAll() override;

private:
    QString reply(const QString& command, const QString& data);

    VirtualClock& clock_;
    QString name_;
    bool open_ = false;
    QByteArray rx_;
};

} // namespace psucal::test
