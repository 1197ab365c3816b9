#include "support/FakeService.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <optional>

namespace zq::test {

struct FakeService::Connection
{
    QPointer<QTcpSocket> socket;
    QByteArray buffer;
    int serial = 0;
    bool busy = false; // a reply is being written; later requests wait in the buffer
};

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// Undoes chunked transfer encoding; nullopt while the body is incomplete.
std::optional<QByteArray> dechunk(const QByteArray& data, int from, int* consumedTo)
{
    QByteArray body;
    int pos = from;
    for (;;) {
        const int lineEnd = data.indexOf("\r\n", pos);
        if (lineEnd < 0)
            return std::nullopt;
        bool ok = false;
        const int size = data.mid(pos, lineEnd - pos).split(';').first().trimmed().toInt(&ok, 16);
        if (!ok || size < 0)
            return QByteArray(); // malformed: take what we have rather than wait forever
        pos = lineEnd + 2;
        if (size == 0) {
            const int trailerEnd = data.indexOf("\r\n", pos);
            if (trailerEnd < 0)
                return std::nullopt;
            *consumedTo = trailerEnd + 2;
            return body;
        }
        if (data.size() < pos + size + 2)
            return std::nullopt;
        body += data.mid(pos, size);
        pos += size + 2;
    }
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

    const int bodyStart = headerEnd + 4;
    int consumedTo = bodyStart;
    if (request.header("transfer-encoding").toLower().contains("chunked")) {
        const auto body = dechunk(buffer, bodyStart, &consumedTo);
        if (!body)
            return std::nullopt;
        request.body = *body;
    } else {
        const int length = request.header("content-length").toInt();
        if (buffer.size() < bodyStart + length)
            return std::nullopt;
        request.body = buffer.mid(bodyStart, length);
        consumedTo = bodyStart + length;
    }
    buffer.remove(0, consumedTo);
    request.parts = parseMultipart(request.body, request.header("content-type"));
    return request;
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

} // namespace

QString RecordedRequest::queryItem(const QString& key) const
{
    return QUrlQuery(query).queryItemValue(key, QUrl::FullyDecoded);
}

const RecordedPart* RecordedRequest::part(const QByteArray& name) const
{
    for (const RecordedPart& p : parts) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

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

Reply Reply::json(const QJsonObject& object, int status)
{
    return json(QJsonDocument(object), status);
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

Reply Reply::text(int status, const QByteArray& body)
{
    return raw(body, "text/plain", status);
}

Reply Reply::eventStream(const QList<QByteArray>& pieces, int pauseMs)
{
    Reply reply = raw(QByteArray(), "text/event-stream");
    reply.pieces = pieces;
    reply.pauseMs = pauseMs;
    reply.chunkedTransfer = true;
    return reply;
}

Reply Reply::silence()
{
    Reply reply;
    reply.noAnswer = true;
    return reply;
}

Reply& Reply::withHeader(const QByteArray& name, const QByteArray& value)
{
    headers.append({name, value});
    return *this;
}

Reply& Reply::withReason(const QByteArray& phrase)
{
    reason = phrase;
    return *this;
}

Reply& Reply::withDelay(int ms)
{
    delayMs = ms;
    return *this;
}

Reply& Reply::inPieces(const QList<QByteArray>& bodyPieces, int pause)
{
    pieces = bodyPieces;
    pauseMs = pause;
    body = bodyPieces.join();
    return *this;
}

Reply& Reply::closedAfter(int bytes)
{
    closeAfterBytes = bytes;
    return *this;
}

FakeService::FakeService(QObject* parent) : QObject(parent), m_server(new QTcpServer(this))
{
    qRegisterMetaType<RecordedRequest>();
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, &FakeService::onNewConnection);
}

FakeService::~FakeService()
{
    closeConnections();
}

bool FakeService::isListening() const
{
    return m_server->isListening();
}

quint16 FakeService::port() const
{
    return m_server->serverPort();
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

void FakeService::closeConnections()
{
    const auto connections = m_connections;
    m_connections.clear();
    for (auto it = connections.begin(); it != connections.end(); ++it) {
        if (it.key()) {
            it.key()->disconnect(this);
            it.key()->abort();
            it.key()->deleteLater();
        }
        delete it.value();
    }
}

FakeService::Route* FakeService::findRoute(const RecordedRequest& request)
{
    const QString withQuery = request.query.isEmpty() ? request.path : request.path + '?' + request.query;
    for (Route& route : m_routes) {
        if (route.method == request.method && route.path == withQuery)
            return &route;
    }
    for (Route& route : m_routes) {
        if (route.method == request.method && route.path == request.path)
            return &route;
    }
    return nullptr;
}

void FakeService::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        auto* connection = new Connection{socket, QByteArray(), ++m_connectionSerial, false};
        m_connections.insert(socket, connection);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (Connection* c = m_connections.value(socket))
                onReadyRead(c);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            delete m_connections.take(socket);
            socket->deleteLater();
        });
    }
}

void FakeService::onReadyRead(Connection* connection)
{
    const QPointer<QTcpSocket> socket = connection->socket;
    connection->buffer += socket->readAll();
    while (!connection->busy) {
        auto request = takeRequest(connection->buffer);
        if (!request)
            return;
        request->connection = connection->serial;
        m_requests.append(*request);
        respond(connection, *request);
        emit requestReceived(*request);
        // Answering may have closed the connection, and the signal's receivers may have closed all.
        connection = m_connections.value(socket.data());
        if (!connection)
            return;
    }
}

void FakeService::respond(Connection* connection, const RecordedRequest& request)
{
    Reply reply;
    if (Route* route = findRoute(request)) {
        if (!route->queue.isEmpty())
            reply = route->queue.takeFirst();
        else if (route->handler)
            reply = route->handler(request);
        else
            reply = Reply::text(404, "no reply left for " + request.path.toUtf8());
    } else {
        reply = Reply::text(404, "no route for " + request.method + ' ' + request.path.toUtf8());
    }
    if (reply.noAnswer) {
        connection->busy = true;
        return;
    }
    const bool keepAlive = request.header("connection").toLower() != "close";
    connection->busy = true;
    if (reply.delayMs <= 0) {
        writeReply(connection, reply, keepAlive);
        return;
    }
    QPointer<QTcpSocket> socket = connection->socket;
    QTimer::singleShot(reply.delayMs, this, [this, socket, reply, keepAlive] {
        if (Connection* c = m_connections.value(socket.data()))
            writeReply(c, reply, keepAlive);
    });
}

void FakeService::writeReply(Connection* connection, const Reply& reply, bool keepAlive)
{
    const bool pieces = !reply.pieces.isEmpty();
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' +
                      (reply.reason.isEmpty() ? reasonPhrase(reply.status) : reply.reason) + "\r\n";
    for (const auto& header : reply.headers)
        head += header.first + ": " + header.second + "\r\n";
    if (reply.chunkedTransfer)
        head += "Transfer-Encoding: chunked\r\n";
    else
        head +=
            "Content-Length: " + QByteArray::number(pieces ? reply.pieces.join().size() : reply.body.size()) +
            "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    connection->socket->write(head);

    Reply body = reply;
    if (!pieces)
        body.pieces = {reply.body};
    writeBody(connection, body, 0, 0, keepAlive);
}

void FakeService::writeBody(Connection* connection, Reply reply, int index, int sent, bool keepAlive)
{
    QTcpSocket* socket = connection->socket;
    if (index >= reply.pieces.size()) {
        if (reply.chunkedTransfer)
            socket->write("0\r\n\r\n");
        finishReply(connection, keepAlive);
        return;
    }
    QByteArray piece = reply.pieces.at(index);
    bool closeNow = false;
    if (reply.closeAfterBytes >= 0 && sent + piece.size() >= reply.closeAfterBytes) {
        piece.truncate(reply.closeAfterBytes - sent);
        closeNow = true;
    }
    if (reply.chunkedTransfer) {
        if (!piece.isEmpty())
            socket->write(QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n");
    } else {
        socket->write(piece);
    }
    socket->flush();
    if (closeNow) {
        socket->disconnectFromHost();
        return;
    }
    sent += piece.size();
    if (reply.pauseMs <= 0 || index + 1 >= reply.pieces.size()) {
        writeBody(connection, reply, index + 1, sent, keepAlive);
        return;
    }
    QPointer<QTcpSocket> guard = socket;
    QTimer::singleShot(reply.pauseMs, this, [this, guard, reply, index, sent, keepAlive] {
        if (Connection* c = m_connections.value(guard.data()))
            writeBody(c, reply, index + 1, sent, keepAlive);
    });
}

void FakeService::finishReply(Connection* connection, bool keepAlive)
{
    connection->busy = false;
    if (!keepAlive) {
        connection->socket->disconnectFromHost();
        return;
    }
    // A request that arrived while this reply was written is answered now.
    if (!connection->buffer.isEmpty()) {
        QPointer<QTcpSocket> socket = connection->socket;
        QTimer::singleShot(0, this, [this, socket] {
            if (Connection* c = m_connections.value(socket.data()))
                onReadyRead(c);
        });
    }
}

} // namespace zq::test
