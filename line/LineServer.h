#pragma once

#include <QAbstractHttpServer>

namespace psucal::line {

class LineRouter;

// Hands every request to the router, whatever its path: the router decides what is found.
class LineServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    explicit LineServer(LineRouter& router, QObject* parent = nullptr);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    LineRouter& router_;
};

} // namespace psucal::line
