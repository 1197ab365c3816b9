#pragma once

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
#include <QUrlQuery>
#include <QVector>

#include <functional>
#include <optional>

namespace zq::test {

// One part of a multipart/form-data body.
struct RecordedPart
{
    QByteArray name;
    QByteArray fileName;
    QByteArray contentType;
    QByteArray data;
};

// A request as the fake service received it.
struct RecordedRequest
{
    QByteArray method;
    QString path;                          // without the query
    QString query;                         // without the "?", percent-encoding kept
    QHash<QByteArray, QByteArray> headers; // names lower-cased
    QByteArray body;
    QVector<RecordedPart> parts; // filled when the body is multipart/form-data

    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
    QString queryItem(const QString& key) const
    {
        return QUrlQuery(query).queryItemValue(key, QUrl::FullyDecoded);
    }
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// A scripted reply, with the faults a real network shows.
struct Reply
{
    int status = 200;
    QByteArray reason; // the status line's reason phrase
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    int delayMs = 0;          // wait this long before the status line
    QList<QByteArray> pieces; // when set, the body goes out in these chunks (chunked transfer encoding)...
    int pauseMs = 0;          // ...with this pause between them
    int closeAfterBytes = -1; // close the connection after this many body bytes
    bool noAnswer = false;    // read the request and never answer

    static Reply json(const QJsonObject& object, int status = 200);
    static Reply raw(const QByteArray& body, const QByteArray& contentType = "application/octet-stream",
                     int status = 200);
    // A plain-text reply with this status.
    static Reply text(int status, const QByteArray& body = QByteArray())
    {
        return raw(body, "text/plain", status);
    }
    // A server-sent event stream written piece by piece; pieces may split lines anywhere.
    static Reply eventStream(const QList<QByteArray>& pieces, int pauseMs = 0);
    static Reply silence()
    {
        Reply reply;
        reply.noAnswer = true;
        return reply;
    }

    Reply& withHeader(const QByteArray& name, const QByteArray& value)
    {
        headers.append({name, value});
        return *this;
    }
    Reply& withReason(const QByteArray& phrase)
    {
        reason = phrase;
        return *this;
    }
    Reply& withDelay(int ms)
    {
        delayMs = ms;
        return *this;
    }
    Reply& closedAfter(int bytes)
    {
        closeAfterBytes = bytes;
        return *this;
    }
};

// A small HTTP/1.1 server on 127.0.0.1 and a free port, standing in for the recognition service.
// Routes are matched by method and path; a route path ending in "*" takes every path that starts
// with the rest, when no route names the path exactly; of two such, the one set last. Replies queued with
// enqueue() are used once, in order, before the route's standing reply. Unmatched requests get 404.
// Everything runs on the thread that owns the object, so QSignalSpy and QTRY_* work in tests without sleeps.
class FakeService : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<Reply(const RecordedRequest&)>;

    // HTTPS in place of HTTP: where to listen, with which certificate, and the base URL under which the
    // clients reach it (the host names the certificate names), for the addresses the service hands out.
    struct Tls
    {
        QHostAddress address = QHostAddress::LocalHost;
        quint16 port = 0;
        QSslCertificate certificate;
        QSslKey key;
        QString baseUrl;
    };

    explicit FakeService(QObject* parent = nullptr);
    explicit FakeService(const Tls& tls, QObject* parent = nullptr);
    ~FakeService() override;

    bool isListening() const { return m_server->isListening(); }
    QString errorString() const { return m_server->errorString(); }
    quint16 port() const { return m_server->serverPort(); }
    // "http://127.0.0.1:<port>", or the TLS base URL, with no trailing slash, as the base-URL functions
    // return theirs.
    QString baseUrl() const;

    void on(const QByteArray& method, const QString& path, const Reply& reply);
    void on(const QByteArray& method, const QString& path, Handler handler);
    void enqueue(const QByteArray& method, const QString& path, const Reply& reply);
    void clearRoutes();
    // Sees every request before its route; a reply it gives answers in the route's place (a refused
    // token, say).
    void setGuard(std::function<std::optional<Reply>(const RecordedRequest&)> guard)
    {
        m_guard = std::move(guard);
    }

    QVector<RecordedRequest> requests() const { return m_requests; }
    QVector<RecordedRequest> requestsTo(const QString& path) const;
    int requestCount() const { return m_requests.size(); }
    void clearRequests() { m_requests.clear(); }

signals:
    // Each request as it arrives, before it is answered.
    void received(const zq::test::RecordedRequest& request);

private:
    struct Connection
    {
        QByteArray buffer;
        bool busy = false; // a reply is being written; later requests wait in the buffer
    };
    struct Route
    {
        QByteArray method;
        QString path;
        Handler handler;
        QList<Reply> queue;
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const RecordedRequest& request);
    void writeReply(QTcpSocket* socket, const Reply& reply, bool keepAlive);
    void writeBody(QTcpSocket* socket, const Reply& reply, int index, int sent, bool keepAlive);
    void finishReply(QTcpSocket* socket, bool keepAlive);
    Route* findRoute(const RecordedRequest& request);
    Route& routeFor(const QByteArray& method, const QString& path);

    void listen(const QHostAddress& address, quint16 port);

    QTcpServer* m_server;
    QString m_baseUrl;
    QList<Route> m_routes;
    std::function<std::optional<Reply>(const RecordedRequest&)> m_guard;
    QVector<RecordedRequest> m_requests;
    QHash<QTcpSocket*, Connection> m_connections;
};

} // namespace zq::test
