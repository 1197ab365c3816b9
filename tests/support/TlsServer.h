#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>

namespace zq::test {

// A TCP server whose connections speak TLS with one certificate: the sockets it hands out carry the
// decrypted stream, so a plain HTTP server runs on it unchanged.
class TlsServer : public QTcpServer
{
    Q_OBJECT

public:
    TlsServer(const QSslCertificate& certificate, const QSslKey& key, QObject* parent = nullptr);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    QSslCertificate m_certificate;
    QSslKey m_key;
};

} // namespace zq::test
