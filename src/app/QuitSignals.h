#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM (what a desktop sends at log-out), SIGINT and SIGHUP come to the GUI thread as `received`,
// through a pipe that the handler writes to, so that the program ends the way its Quit entry ends it.
// A second signal of the same kind while the program ends takes the system's default action. One object
// at a time; it puts the default actions back when it goes.
class QuitSignals : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // False when the pipe could not be made: the signals keep their default action.
    bool isInstalled() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void onReadable();

    int m_readFd = -1;
    QSocketNotifier* m_notifier = nullptr;
};
