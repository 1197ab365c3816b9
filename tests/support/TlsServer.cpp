#include "support/TlsServer.h"

#include <QDebug>
#include <QSslSocket>

namespace zq::test {

TlsServer::TlsServer(const QSslCertificate& certificate, const QSslKey& key, QObject* parent)
    : QTcpServer(parent), m_certificate(certificate), m_key(key)
{
}

void TlsServer::incomingConnection(qintptr descriptor)
{
    auto* socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setLocalCertificate(m_certificate);
    socket->setPrivateKey(m_key);
    socket->setProtocol(QSsl::TlsV1_2OrLater);
    // A client that refuses the certificate says so in its own log; this side only notes the refusal.
    connect(socket, qOverload<const QList<QSslError>&>(&QSslSocket::sslErrors), socket,
            [](const QList<QSslError>& errors) { qWarning() << "[TlsServer] TLS errors:" << errors; });
    socket->startServerEncryption();
    addPendingConnection(socket);
}

} // namespace zq::test
