#include "app/SingleInstance.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/un.h>
#include <unistd.h>

const QString SingleInstance::kServerName =
    QStringLiteral("Zorvane-qelting-tool-8F3A61C2D94B4E07A5C1B2E96D3F7A40");

QString SingleInstance::userServerPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
        const QString path = QDir(runtime).filePath(kServerName);
        // A socket's path has a bounded length; a deeper folder could not hold it.
        if (QFile::encodeName(path).size() < qsizetype(sizeof(sockaddr_un::sun_path)))
            return path;
    }
    return QDir(QDir::tempPath()).filePath(kServerName + QLatin1Char('-') + QString::number(::getuid()));
}

SingleInstance::SingleInstance(QObject* parent, const QString& path) : QObject(parent), m_path(path) {}

bool SingleInstance::claim()
{
    QLocalSocket socket;
    socket.connectToServer(m_path, QIODevice::ReadWrite);
    if (socket.waitForConnected(kConnectTimeoutMs)) {
        socket.write("0");
        socket.waitForBytesWritten(kWriteTimeoutMs);
        return false;
    }

    // Nobody answers: a file left by a crash is in the way of listening.
    if (QFile::exists(m_path) && !QFile::remove(m_path))
        qWarning() << "[SingleInstance] Failed to remove tmp server file";
    m_server = new QLocalServer(this);
    // Only this user may knock, wherever the socket lies.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(m_path);
    if (!m_server->listen(m_path))
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
