#include "support/FakeService.h"

#include "support/TlsServer.h"

#include <QHostAddress>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

#include <optional>

namespace zq::test {

namespace {

// A parameter of a header such as `form-data; name="file"`, or a header's value when key ends in ':'.
QByteArray parameter(const QByteArray& value, const QByteArray& key)
{
    const QString pattern = key.endsWith(':')
                                ? "(?:^|\\n)" + QRegularExpression::escape(key) + "\\s*([^\\r]*)"
                                : "(?:^|;)\\s*" + QRegularExpression::escape(key) + "=\"?([^\";]*)";
    return QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption)
        .match(QString::fromUtf8(value))
        .captured(1)
        .toUtf8();
}

// The parts of a multipart/form-data body; a part runs from one delimiter to the next.
QVector<RecordedPart> parseMultipart(const QByteArray& body, const QByteArray& contentType)
{
    QVector<RecordedPart> parts;
    const QByteArray boundary = parameter(contentType, "boundary");
    const QByteArray data = "\r\n" + body;
    const QByteArray delimiter = "\r\n--" + boundary;
    for (int at = data.indexOf(delimiter), next; !boundary.isEmpty() && at >= 0; at = next) {
        const int start = at + delimiter.size() + 2;
        const int headersEnd = data.indexOf("\r\n\r\n", start);
        next = data.indexOf(delimiter, start);
        if (next < 0 || headersEnd < 0 || headersEnd > next)
            break;
        const QByteArray headers = data.mid(start, headersEnd - start);
        parts.append({parameter(headers, "name"), parameter(headers, "filename"),
                      parameter(headers, "content-type:"), data.mid(headersEnd + 4, next - headersEnd - 4)});
    }
    return parts;
}

// Takes one whole request off the front of the buffer; nullopt while it is incomplete.
std::optional<RecordedRequest> takeRequest(QByteArray& buffer)
{
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return std::nullopt;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    RecordedRequest request;
    request.method = requestLine.value(0);
    const QString target = QString::fromUtf8(requestLine.value(1));
    request.path = target.section('?', 0, 0);
    request.query = target.section('?', 1);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        if (colon > 0)
            request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }

    // The client sends every body with a Content-Length (it buffers uploads), never chunked.
    const int bodyStart = headerEnd + 4;
    const int length = request.header("content-length").toInt();
    if (buffer.size() < bodyStart + length)
        return std::nullopt;
    request.body = buffer.mid(bodyStart, length);
    buffer.remove(0, bodyStart + length);
    request.parts = parseMultipart(request.body, request.header("content-type"));
    return request;
}

} // namespace

Reply Reply::json(const QJsonObject& object, int status)
{
    return raw(QJsonDocument(object).toJson(QJsonDocument::Compact), "application/json", status);
}

Reply Reply::raw(const QByteArray& body, const QByteArray& contentType, int status)
{
    Reply reply;
    reply.status = status;
    reply.body = body;
    reply.headers.append({"Content-Type", contentType});
    return reply;
}

Reply Reply::eventStream(const QList<QByteArray>& pieces, int pauseMs)
{
    Reply reply = raw(pieces.join(), "text/event-stream");
    reply.pieces = pieces;
    reply.pauseMs = pauseMs;
    return reply;
}

FakeService::FakeService(QObject* parent) : QObject(parent), m_server(new QTcpServer(this))
{
    listen(QHostAddress::LocalHost, 0);
}

FakeService::FakeService(const Tls& tls, QObject* parent)
    : QObject(parent), m_server(new TlsServer(tls.certificate, tls.key, this)), m_baseUrl(tls.baseUrl)
{
    listen(tls.address, tls.port);
}

void FakeService::listen(const QHostAddress& address, quint16 port)
{
    m_server->listen(address, port);
    connect(m_server, &QTcpServer::newConnection, this, &FakeService::onNewConnection);
}

FakeService::~FakeService()
{
    // Sockets go with the server; they must not call back into a service half destroyed.
    for (QTcpSocket* socket : m_connections.keys()) {
        socket->disconnect(this);
        socket->abort();
    }
}

QString FakeService::baseUrl() const
{
    return m_baseUrl.isEmpty() ? QStringLiteral("http://127.0.0.1:%1").arg(port()) : m_baseUrl;
}

FakeService::Route& FakeService::routeFor(const QByteArray& method, const QString& path)
{
    for (Route& route : m_routes) {
        if (route.method == method && route.path == path)
            return route;
    }
    m_routes.append(Route{method, path, nullptr, {}});
    return m_routes.last();
}

void FakeService::on(const QByteArray& method, const QString& path, const Reply& reply)
{
    on(method, path, [reply](const RecordedRequest&) { return reply; });
}

void FakeService::on(const QByteArray& method, const QString& path, Handler handler)
{
    // A route set again counts as the latest, also against the prefix routes set in between.
    Route route{method, path, nullptr, {}};
    for (int i = 0; i < m_routes.size(); ++i) {
        if (m_routes[i].method == method && m_routes[i].path == path) {
            route = m_routes.takeAt(i);
            break;
        }
    }
    route.handler = std::move(handler);
    m_routes.append(route);
}

void FakeService::enqueue(const QByteArray& method, const QString& path, const Reply& reply)
{
    routeFor(method, path).queue.append(reply);
}

void FakeService::clearRoutes()
{
    m_routes.clear();
}

QVector<RecordedRequest> FakeService::requestsTo(const QString& path) const
{
    QVector<RecordedRequest> result;
    for (const RecordedRequest& request : m_requests) {
        if (request.path == path)
            result.append(request);
    }
    return result;
}

FakeService::Route* FakeService::findRoute(const RecordedRequest& request)
{
    Route* prefixRoute = nullptr;
    for (Route& route : m_routes) {
        if (route.method != request.method)
            continue;
        if (route.path == request.path)
            return &route;
        if (route.path.endsWith('*') && request.path.startsWith(route.path.chopped(1)))
            prefixRoute = &route;
    }
    return prefixRoute;
}

void FakeService::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        m_connections.insert(socket, Connection());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_connections.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeService::onReadyRead(QTcpSocket* socket)
{
    auto connection = m_connections.find(socket);
    if (connection == m_connections.end())
        return;
    connection->buffer += socket->readAll();
    if (connection->busy)
        return;
    if (auto request = takeRequest(connection->buffer)) {
        m_requests.append(*request);
        emit received(*request);
        connection->busy = true;
        respond(socket, *request);
    }
}

void FakeService::respond(QTcpSocket* socket, const RecordedRequest& request)
{
    Reply reply = Reply::text(404, "no route for " + request.method + ' ' + request.path.toUtf8());
    if (const auto refusal = m_guard ? m_guard(request) : std::nullopt) {
        reply = *refusal;
    } else if (Route* route = findRoute(request)) {
        if (!route->queue.isEmpty())
            reply = route->queue.takeFirst();
        else if (route->handler)
            reply = route->handler(request);
    }
    if (reply.noAnswer)
        return;
    const bool keepAlive = request.header("connection").toLower() != "close";
    QTimer::singleShot(reply.delayMs, this, [this, guard = QPointer<QTcpSocket>(socket), reply, keepAlive] {
        if (guard)
            writeReply(guard, reply, keepAlive);
    });
}

void FakeService::writeReply(QTcpSocket* socket, const Reply& reply, bool keepAlive)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' +
                      (reply.reason.isEmpty() ? QByteArray("Status") : reply.reason) + "\r\n";
    for (const auto& header : reply.headers)
        head += header.first + ": " + header.second + "\r\n";
    if (!reply.pieces.isEmpty())
        head += "Transfer-Encoding: chunked\r\n";
    else
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    socket->write(head + (keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n"));
    writeBody(socket, reply, 0, 0, keepAlive);
}

void FakeService::writeBody(QTcpSocket* socket, const Reply& reply, int index, int sent, bool keepAlive)
{
    const bool chunked = !reply.pieces.isEmpty();
    const QList<QByteArray> pieces = chunked ? reply.pieces : QList<QByteArray>{reply.body};
    if (index >= pieces.size()) {
        if (chunked)
            socket->write("0\r\n\r\n");
        finishReply(socket, keepAlive);
        return;
    }
    QByteArray piece = pieces.at(index);
    const bool closeNow = reply.closeAfterBytes >= 0 && sent + piece.size() >= reply.closeAfterBytes;
    if (closeNow)
        piece.truncate(reply.closeAfterBytes - sent);
    if (!chunked)
        socket->write(piece);
    else if (!piece.isEmpty())
        socket->write(QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n");
    socket->flush();
    if (closeNow) {
        socket->disconnectFromHost();
        return;
    }
    QTimer::singleShot(
        index + 1 < pieces.size() ? reply.pauseMs : 0, this,
        [this, guard = QPointer<QTcpSocket>(socket), reply, index, sent = sent + piece.size(), keepAlive] {
            if (guard)
                writeBody(guard, reply, index + 1, sent, keepAlive);
        });
}

void FakeService::finishReply(QTcpSocket* socket, bool keepAlive)
{
    auto connection = m_connections.find(socket);
    if (connection == m_connections.end())
        return;
    connection->busy = false;
    if (!keepAlive)
        socket->disconnectFromHost();
    else if (!connection->buffer.isEmpty()) // a request that came while this reply was written
        onReadyRead(socket);
}

} // namespace zq::test
