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
    // "Zorvane-qelting-tool-" and a fixed identifier; the socket lies in the temporary folder.
    static const QString kServerName;
    static constexpr int kConnectTimeoutMs = 1000;
    static constexpr int kWriteTimeoutMs = 30000;

    explicit SingleInstance(QObject* parent = nullptr, const QString& name = kServerName);

    // True when this process is the first: it then listens for later starts, or runs without the guard
    // when the socket cannot be set up. False after telling the running instance, with the byte "0".
    bool claim();
    void close();
    bool isListening() const;

signals:
    // A later start knocked and went away.
    void knocked();

private:
    void onNewConnection();

    QString m_name;
    QLocalServer* m_server = nullptr;
};
