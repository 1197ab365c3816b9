#include "support/FakeService.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <optional>

namespace zq::test {

struct FakeService::Connection
{
    QTcpSocket* socket;
    QByteArray buffer;
    bool busy; // a reply is being written; later requests wait in the buffer
};

namespace {

QByteArray reasonPhrase(int status)
{
    static const QHash<int, QByteArray> phrases{{200, "OK"},
                                                {201, "Created"},
                                                {204, "No Content"},
                                                {400, "Bad Request"},
                                                {401, "Unauthorized"},
                                                {403, "Forbidden"},
                                                {404, "Not Found"},
                                                {429, "Too Many Requests"},
                                                {500, "Internal Server Error"},
                                                {502, "Bad Gateway"},
                                                {503, "Service Unavailable"}};
    return phrases.value(status, "Status");
}

QByteArray dispositionParameter(const QByteArray& disposition, const QByteArray& key)
{
    for (const QByteArray& item : disposition.split(';')) {
        const QByteArray trimmed = item.trimmed();
        if (trimmed.startsWith(key + '=')) {
            QByteArray value = trimmed.mid(key.size() + 1);
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            return value;
        }
    }
    return QByteArray();
}

// The parts of a multipart/form-data body; none when the boundary does not occur.
QVector<RecordedPart> parseMultipart(const QByteArray& body, const QByteArray& contentType)
{
    QVector<RecordedPart> parts;
    if (!contentType.toLower().startsWith("multipart/"))
        return parts;
    QByteArray boundary = dispositionParameter(contentType, "boundary");
    if (boundary.isEmpty())
        return parts;
    const QByteArray delimiter = "--" + boundary;
    int pos = body.indexOf(delimiter);
    while (pos >= 0) {
        pos += delimiter.size();
        if (body.mid(pos, 2) == "--")
            break;
        const int headersStart = body.indexOf("\r\n", pos);
        if (headersStart < 0)
            break;
        const int headersEnd = body.indexOf("\r\n\r\n", headersStart);
        const int next = body.indexOf("\r\n" + delimiter, headersStart);
        if (headersEnd < 0 || next < 0 || headersEnd > next)
            break;
        RecordedPart part;
        for (const QByteArray& line : body.mid(headersStart + 2, headersEnd - headersStart - 2).split('\n')) {
            const int colon = line.indexOf(':');
            if (colon < 0)
                continue;
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "content-disposition") {
                part.name = dispositionParameter(value, "name");
                part.fileName = dispositionParameter(value, "filename");
            } else if (name == "content-type") {
                part.contentType = value;
            }
        }
        part.data = body.mid(headersEnd + 4, next - headersEnd - 4);
        parts.append(part);
        pos = next + 2;
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
    const QByteArray target = requestLine.value(1);
    const int question = target.indexOf('?');
    request.path = QString::fromUtf8(question < 0 ? target : target.left(question));
    if (question >= 0)
        request.query = QString::fromUtf8(target.mid(question + 1));
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
    reply.chunkedTransfer = true;
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
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        it.key()->disconnect(this);
        it.key()->abort();
        delete it.value();
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
        m_connections.insert(socket, new Connection{socket, QByteArray(), false});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            delete m_connections.take(socket);
            socket->deleteLater();
        });
    }
}

void FakeService::onReadyRead(QTcpSocket* socket)
{
    Connection* connection = m_connections.value(socket);
    if (!connection)
        return;
    connection->buffer += socket->readAll();
    if (connection->busy)
        return;
    if (auto request = takeRequest(connection->buffer)) {
        m_requests.append(*request);
        respond(connection, *request);
    }
}

void FakeService::respond(Connection* connection, const RecordedRequest& request)
{
    Reply reply = Reply::text(404, "no route for " + request.method + ' ' + request.path.toUtf8());
    if (Route* route = findRoute(request)) {
        if (!route->queue.isEmpty())
            reply = route->queue.takeFirst();
        else if (route->handler)
            reply = route->handler(request);
    }
    connection->busy = true;
    if (reply.noAnswer)
        return;
    const bool keepAlive = request.header("connection").toLower() != "close";
    QPointer<QTcpSocket> socket = connection->socket;
    QTimer::singleShot(reply.delayMs, this, [this, socket, reply, keepAlive] {
        if (socket)
            writeReply(socket, reply, keepAlive);
    });
}

void FakeService::writeReply(QTcpSocket* socket, const Reply& reply, bool keepAlive)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' +
                      (reply.reason.isEmpty() ? reasonPhrase(reply.status) : reply.reason) + "\r\n";
    for (const auto& header : reply.headers)
        head += header.first + ": " + header.second + "\r\n";
    if (reply.chunkedTransfer)
        head += "Transfer-Encoding: chunked\r\n";
    else
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    socket->write(head + (keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n"));
    writeBody(socket, reply, 0, 0, keepAlive);
}

void FakeService::writeBody(QTcpSocket* socket, const Reply& reply, int index, int sent, bool keepAlive)
{
    const QList<QByteArray> pieces = reply.chunkedTransfer ? reply.pieces : QList<QByteArray>{reply.body};
    if (index >= pieces.size()) {
        if (reply.chunkedTransfer)
            socket->write("0\r\n\r\n");
        finishReply(socket, keepAlive);
        return;
    }
    QByteArray piece = pieces.at(index);
    const bool closeNow = reply.closeAfterBytes >= 0 && sent + piece.size() >= reply.closeAfterBytes;
    if (closeNow)
        piece.truncate(reply.closeAfterBytes - sent);
    if (!reply.chunkedTransfer)
        socket->write(piece);
    else if (!piece.isEmpty())
        socket->write(QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n");
    socket->flush();
    if (closeNow) {
        socket->disconnectFromHost();
        return;
    }
    QPointer<QTcpSocket> guard = socket;
    QTimer::singleShot(index + 1 < pieces.size() ? reply.pauseMs : 0, this,
                       [this, guard, reply, index, sent = sent + piece.size(), keepAlive] {
                           if (guard)
                               writeBody(guard, reply, index + 1, sent, keepAlive);
                       });
}

void FakeService::finishReply(QTcpSocket* socket, bool keepAlive)
{
    Connection* connection = m_connections.value(socket);
    if (!connection)
        return;
    connection->busy = false;
    if (!keepAlive)
        socket->disconnectFromHost();
    else if (!connection->buffer.isEmpty()) // a request that came while this reply was written
        onReadyRead(socket);
}

} // namespace zq::test
