#include "upload.h"

#include "json.h"

#include <QDebug>
#include <QFile>
#include <QSslSocket>
#include <QTcpSocket>

#include <memory>

namespace crashreport {

namespace {

// Waits in short slices, so that a stop request ends a slow exchange within one slice.
constexpr int kSliceMs = 100;
constexpr int kMaxStatusLine = 8192;

template <typename Step> bool waitFor(Step step, const std::atomic<bool>& stop, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs && !stop.load(); waited += kSliceMs) {
        if (step(kSliceMs))
            return true;
    }
    return false;
}

// The status code of the reply; 0 when none arrived.
int postRecord(const Dsn& dsn, const QByteArray& body, const std::atomic<bool>& stop, int timeoutMs)
{
    const QUrl url = dsn.endpoint();
    const bool secure = url.scheme() == QLatin1String("https");
    std::unique_ptr<QTcpSocket> socket(secure ? new QSslSocket : new QTcpSocket);
    auto* ssl = secure ? static_cast<QSslSocket*>(socket.get()) : nullptr;
    const quint16 port = quint16(url.port(secure ? 443 : 80));
    if (ssl)
        ssl->connectToHostEncrypted(url.host(), port);
    else
        socket->connectToHost(url.host(), port);
    // One call: a connection attempt that times out is abandoned, so it cannot be waited for in slices.
    const bool connected = ssl ? ssl->waitForEncrypted(timeoutMs) : socket->waitForConnected(timeoutMs);
    if (!connected)
        return 0;

    QByteArray request = "POST " + url.path(QUrl::FullyEncoded).toLatin1() + " HTTP/1.1\r\n";
    request += "Host: " + url.host(QUrl::FullyEncoded).toLatin1();
    if (url.port() > 0)
        request += ':' + QByteArray::number(url.port());
    request += "\r\nX-Report-Key: " + dsn.key.toUtf8() + "\r\n";
    request += "Content-Type: application/json\r\n";
    request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    request += "Connection: close\r\n\r\n";
    socket->write(request + body);

    QByteArray reply;
    waitFor(
        [&](int ms) {
            if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(ms))
                return socket->state() != QAbstractSocket::ConnectedState;
            reply += socket->readAll();
            // Only the status line matters; a peer that never ends it must not fill the memory.
            return reply.contains("\r\n") || reply.size() > kMaxStatusLine;
        },
        stop, timeoutMs);
    return replyStatus(reply);
}

} // namespace

int replyStatus(const QByteArray& reply)
{
    const QList<QByteArray> statusLine = reply.left(reply.indexOf("\r\n")).split(' ');
    if (statusLine.size() < 2 || !statusLine.first().startsWith("HTTP/1."))
        return 0;
    return statusLine.at(1).toInt();
}

QUrl Dsn::endpoint() const
{
    QUrl url;
    url.setScheme(scheme);
    url.setHost(host);
    url.setPort(port);
    url.setPath(QStringLiteral("/api/%1/reports").arg(project));
    return url;
}

std::optional<Dsn> parseDsn(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return std::nullopt;
    Dsn dsn;
    dsn.scheme = url.scheme();
    dsn.key = url.userName();
    dsn.host = url.host();
    dsn.port = url.port();
    dsn.project = url.path().mid(1);
    if (dsn.key.isEmpty() || dsn.host.isEmpty() || dsn.project.isEmpty() ||
        dsn.project.contains(QLatin1Char('/')))
        return std::nullopt;
    return dsn;
}

int uploadRecords(const Dsn& dsn, const QStringList& files, const std::atomic<bool>& stop, int timeoutMs)
{
    int accepted = 0;
    for (const QString& path : files) {
        if (stop.load())
            break;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray body = file.readAll();
        file.close();
        if (!isRecord(body)) {
            qWarning() << "[CrashReport] Not a record, set aside:" << path;
            QFile::rename(path, path + QStringLiteral(".invalid"));
            continue;
        }
        const int status = postRecord(dsn, body, stop, timeoutMs);
        if (status >= 200 && status < 300) {
            QFile::remove(path);
            ++accepted;
        }
    }
    return accepted;
}

} // namespace crashreport
