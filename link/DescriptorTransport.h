#pragma once

#include "link/Transport.h"

#include <sys/types.h>

class QSocketNotifier;

namespace psucal {

// The part every descriptor-backed port shares: a non-blocking descriptor watched for input,
// whatever arrived kept until read, and a hang-up that closes the port and wakes the waiter.
class DescriptorTransport : public Transport {
public:
    ~DescriptorTransport() override;

    void setPortName(const QString& name) override { name_ = name; }
    QString portName() const override { return name_; }
    QString errorText() const override { return error_; }
    void close() override
    {
        gone_ = false;
        drop(false);
    }
    bool isOpen() const override { return fd_ >= 0; }
    bool gone() const override { return gone_; }
    void discard() override { received_.clear(); }
    bool write(const QByteArray& bytes) override;
    qint64 bytesAvailable() const override { return received_.size(); }
    QByteArray readAll() override;

protected:
    // How arrivals reach the program: not at all, always, or only while setWatching(true) (the
    // descriptor then sits behind an epoll set, so switching costs one call and no event-loop round).
    enum class Watch { None, Always, Gated };
    // Takes the open `fd`; input is read as it arrives while watched (the descriptor must not block).
    void adopt(int fd, Watch watch = Watch::Always);
    // A gated descriptor out of the watch wakes nobody, not even the kernel's waiters per byte.
    void setWatching(bool on);
    bool canGate() const { return gate_ >= 0; }
    // One read of what the descriptor holds; false, with the port closed, after a hang-up.
    bool readInput();
    virtual void lost(const QString& why);
    virtual void onReadable();
    virtual ssize_t sendSome(const char* data, size_t size);

    QString name_;
    QString error_;
    int fd_ = -1;
    bool gone_ = false;
    QByteArray received_;

private:
    void drop(bool inNotifier);
    QSocketNotifier* notifier_ = nullptr;
    int gate_ = -1; // the epoll set of a gated descriptor
    bool watching_ = false;
};

} // namespace psucal
