#include "support/FakeService.h"

#include <QHostAddress>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <optional>

namespace zq::test {

namespace {

QByteArray reasonPhrase(int status)
{
    static const QByteArray phrases =
        "200 OK|201 Created|204 No Content|400 Bad Request|401 Unauthorized|"
        "403 Forbidden|404 Not Found|429 Too Many Requests|500 Internal Server Error|"
        "502 Bad Gateway|503 Service Unavailable|";
    const int at = phrases.indexOf(QByteArray::number(status) + ' ');
    return at < 0 ? QByteArray("Status") : phrases.mid(at + 4, phrases.indexOf('|', at) - at - 4);
}

// A parameter of a header value such as `form-data; name="file"`, without its quotes.
QByteArray parameter(const QByteArray& value, const QByteArray& key)
{
    const QRegularExpression pattern("(?:^|;)\\s*" + QRegularExpression::escape(key) + "=\"?([^\";]*)");
    return pattern.match(QString::fromUtf8(value)).captured(1).toUtf8();
}

// The parts of a multipart/form-data body; none when the boundary does not occur.
QVector<RecordedPart> parseMultipart(const QByteArray& body, const QByteArray& contentType)
{
    QVector<RecordedPart> parts;
    const QByteArray boundary = parameter(contentType, "boundary");
    if (!contentType.toLower().startsWith("multipart/") || boundary.isEmpty())
        return parts;
    const QByteArray data = "\r\n" + body;
    const QByteArray delimiter = "\r\n--" + boundary;
    // A part runs from one delimiter to the next: header lines, an empty line, its data. The last
    // delimiter, or a part cut short, has no next.
    for (int at = data.indexOf(delimiter); at >= 0;) {
        const int start = at + delimiter.size();
        const int headersEnd = data.indexOf("\r\n\r\n", start);
        at = data.indexOf(delimiter, start);
        if (at < 0 || headersEnd < 0 || headersEnd > at)
            break;
        RecordedPart part;
        for (const QByteArray& line : data.mid(start, headersEnd - start).split('\n')) {
            const QByteArray value = line.mid(line.indexOf(':') + 1).trimmed();
            if (line.toLower().startsWith("content-disposition:")) {
                part.name = parameter(value, "name");
                part.fileName = parameter(value, "filename");
            } else if (line.toLower().startsWith("content-type:")) {
                part.contentType = value;
            }
        }
        part.data = data.mid(headersEnd + 4, at - headersEnd - 4);
        parts.append(part);
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

const RecordedPart* RecordedRequest::part(const QByteArray& name) const
{
    for (const RecordedPart& p : parts) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

Reply Reply::json(const QJsonDocument& document, int status)
{
    return raw(document.toJson(QJsonDocument::Compact), "application/json", status);
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
    m_server->listen(QHostAddress::LocalHost, 0);
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
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
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
    routeFor(method, path).handler = [reply](const RecordedRequest&) { return reply; };
}

void FakeService::on(const QByteArray& method, const QString& path, Handler handler)
{
    routeFor(method, path).handler = std::move(handler);
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
        connection->busy = true;
        respond(socket, *request);
    }
}

void FakeService::respond(QTcpSocket* socket, const RecordedRequest& request)
{
    Reply reply = Reply::text(404, "no route for " + request.method + ' ' + request.path.toUtf8());
    if (Route* route = findRoute(request)) {
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
                      (reply.reason.isEmpty() ? reasonPhrase(reply.status) : reply.reason) + "\r\n";
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
