#include "line/LineServer.h"

#include "line/LineRouter.h"

#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QMetaEnum>

namespace psucal::line {

LineServer::LineServer(LineRouter& router, QObject* parent) : QAbstractHttpServer(parent), router_(router) {}

bool LineServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    const QUrl url = request.url();
    QByteArray target = url.path(QUrl::FullyEncoded).toUtf8();
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toUtf8();
    const char* method = QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(request.method()));
    Request r = Request::Parse(QByteArray(method ? method : "Unknown").toUpper(), target);
    r.authorization = request.value("authorization");
    r.cookie = request.value("cookie");
    r.body = request.body();

    const Reply reply = router_.handle(r);
    QHttpServerResponse response(reply.type, r.method == "HEAD" ? QByteArray() : reply.body,
                                 static_cast<QHttpServerResponse::StatusCode>(reply.status));
    for (const auto& [name, value] : reply.headers)
        response.addHeader(name, value);
    response.write(makeResponder(request, socket));
    return true;
}

void LineServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    handleRequest(request, socket);
}

} // namespace psucal::line
