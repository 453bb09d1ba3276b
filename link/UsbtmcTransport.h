#pragma once

#include "link/DescriptorTransport.h"

namespace psucal {

// The kernel's USBTMC device ("/dev/usbtmcN"): a command is written whole, and a reply exists
// only once it is read, so after a query (a line with '?') the reply is read at once, for at
// most ReplyTimeoutMs. Any other character device stands in for one the same way.
class UsbtmcTransport : public DescriptorTransport {
public:
    static constexpr int ReplyTimeoutMs = 1000;

    bool open() override;
    QString missingDevice() const override { return missing_; }
    QString deniedDevice() const override { return denied_; }
    bool write(const QByteArray& bytes) override;

    static bool IsDevice(const QString& name);

private:
    void fetch();

    QString missing_;
    QString denied_;
    bool driver_ = false; // the USBTMC driver itself, which times out its own reads
};

} // namespace psucal
