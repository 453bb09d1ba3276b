#pragma once

#include "link/DescriptorTransport.h"

namespace psucal {

// A raw SCPI socket: "tcp://HOST[:PORT]", port 5025 by default. A connection refused, a host
// that does not answer within ConnectTimeout, or a connection that drops is a closed port with
// the reason in errorText(). A dropped connection is not silently made again: open() refuses
// until close(), so a pass that lost its meter fails instead of going on with another session.
class TcpTransport : public DescriptorTransport {
public:
    static constexpr int DefaultPort = 5025;
    static constexpr int ConnectTimeoutMs = 3000;

    bool open() override;
    void close() override;

    // Host and port of "tcp://HOST[:PORT]" ("[::1]:5025" for an IPv6 address); false when the
    // text is no such address.
    static bool Parse(const QString& name, QString* host, int* port);

private:
    int connectTo(const QString& host, int port);
    void lost(const QString& why) override;
    ssize_t sendSome(const char* data, size_t size) override;

    QString where_;
    bool failed_ = false;
};

} // namespace psucal
