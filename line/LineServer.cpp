#include "line/LineServer.h"

#include "line/LineRouter.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
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
    // A HEAD must announce the length the GET would send; QHttpServerResponse would count the
    // empty body it is given instead.
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(reply.status));
    responder.writeHeader("Content-Type", reply.type);
    for (const auto& [name, value] : reply.headers)
        responder.writeHeader(name, value);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    // Even an empty body ends the headers.
    responder.writeBody(r.method == "HEAD" ? QByteArray() : reply.body);
    return true;
}

void LineServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    handleRequest(request, socket);
}

} // namespace psucal::line
