#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <memory>

// One stored exchange of the chat about a Qelt. Question and answer arrive as JSON texts of their
// own ({"type": ..., "data": ...}); only "text" parts carry text to show.
class ZorvaneQeltChatMsg
{
public:
    // Null when the object has no non-empty string "id".
    static std::shared_ptr<ZorvaneQeltChatMsg> fromJson(const QJsonObject& object);

    bool isValid() const { return !id.isEmpty(); }

    QString id;
    QByteArray query;
    QByteArray answer;
    // Kept exactly as the service sent them.
    QString asked_at;
    QString answered_at;
    QString queryType;
    QString queryText;
    QString answerType;
    QString answerText;
};
