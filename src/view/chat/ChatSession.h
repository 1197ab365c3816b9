#pragma once

#include "api/Result.h"

#include <QObject>
#include <QPointer>
#include <QString>

// The chat requests about the shown Qelt, one awaited at a time: each send, history load or clear
// replaces the one before, whose later replies are dropped and whose stream is closed. Only the replies
// that count reach the signals. GUI thread only.
class ChatSession : public QObject
{
    Q_OBJECT

public:
    explicit ChatSession(QObject* parent = nullptr);

    void send(const QString& qeltId, const QString& content, const QString& question);
    void loadHistory(const QString& qeltId);
    void clear(const QString& qeltId);
    // The answer being streamed is no longer shown: its later replies are dropped.
    void dropAnswer();

signals:
    // Each reply of the answer stream: partial ones, then one that is completed or failed.
    void answerReply(ZorvaneAPI::ResultPtr result);
    void historyReply(ZorvaneAPI::ResultPtr result);
    void clearReply(ZorvaneAPI::ResultPtr result);

private:
    // Whether a reply of `request` counts; a request whose replies no longer count is let go.
    bool counts(QObject* request, bool isAnswer);

    QPointer<QObject> current;
    bool answerWanted = false;
};
