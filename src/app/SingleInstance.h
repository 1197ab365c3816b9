#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One running application per user: the first start listens on a local socket; a later one knocks on it
// and steps back.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // "Zorvane-qelting-tool-" and a fixed identifier.
    static const QString kServerName;
    static constexpr int kConnectTimeoutMs = 1000;
    static constexpr int kWriteTimeoutMs = 30000;

    // Where this user's programs look for the socket: in the user's runtime folder (XDG_RUNTIME_DIR)
    // when there is one, else in the temporary folder under a name that holds the user id. The
    // temporary folder is shared by every user of the machine.
    static QString userServerPath();

    explicit SingleInstance(QObject* parent = nullptr, const QString& path = userServerPath());

    // True when this process is the first: it then listens for later starts, or runs without the guard
    // when the socket cannot be set up. False after telling the running instance, with the byte "0".
    bool claim();
    // Stops listening and removes the socket.
    void close();
    bool isListening() const;
    QString path() const { return m_path; }

signals:
    // A later start knocked and went away.
    void knocked();

private:
    void onNewConnection();

    QString m_path;
    QLocalServer* m_server = nullptr;
};
