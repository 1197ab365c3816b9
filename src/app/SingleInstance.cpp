#include "app/SingleInstance.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

const QString SingleInstance::kServerName =
    QStringLiteral("Zorvane-qelting-tool-8F3A61C2D94B4E07A5C1B2E96D3F7A40");

SingleInstance::SingleInstance(QObject* parent, const QString& name) : QObject(parent), m_name(name) {}

bool SingleInstance::claim()
{
    QLocalSocket socket;
    socket.connectToServer(m_name, QIODevice::ReadWrite);
    if (socket.waitForConnected(kConnectTimeoutMs)) {
        socket.write("0");
        socket.waitForBytesWritten(kWriteTimeoutMs);
        return false;
    }

    // Nobody answers: a file left by a crash is in the way of listening.
    const QString stale = QDir::tempPath() + QLatin1Char('/') + m_name;
    if (QFile::exists(stale) && !QFile::remove(stale))
        qWarning() << "[SingleInstance] Failed to remove tmp server file";
    m_server = new QLocalServer(this);
    // The name is the same for every user of the machine; only this user may knock.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(m_name);
    if (!m_server->listen(m_name))
        qWarning().noquote() << "[SingleInstance] Failed to listen local server, error: "
                             << m_server->errorString();
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

void SingleInstance::close()
{
    if (m_server)
        m_server->close();
}

bool SingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        socket->readAll();
        socket->close();
        socket->deleteLater();
        emit knocked();
    }
}
