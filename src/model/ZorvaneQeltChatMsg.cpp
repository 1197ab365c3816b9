#include "model/ZorvaneQeltChatMsg.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QVariant>

namespace {

// Strings give their UTF-8 text, numbers and booleans their written form, anything else nothing.
QByteArray valueBytes(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString().toUtf8();
    case QJsonValue::Double:
    case QJsonValue::Bool:
        return value.toVariant().toString().toUtf8();
    default:
        return QByteArray();
    }
}

void readPart(const QByteArray& json, QString& type, QString& text)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (document.isEmpty() || !document.isObject())
        return;
    const QJsonObject part = document.object();
    type = part.value(QLatin1String("type")).toString();
    if (type == QLatin1String("text"))
        text = part.value(QLatin1String("data")).toString();
}

} // namespace

std::shared_ptr<ZorvaneQeltChatMsg> ZorvaneQeltChatMsg::fromJson(const QJsonObject& object)
{
    auto message = std::make_shared<ZorvaneQeltChatMsg>();
    message->id = object.value(QLatin1String("id")).toString();
    message->query = valueBytes(object.value(QLatin1String("query")));
    message->answer = valueBytes(object.value(QLatin1String("answer")));
    message->asked_at = object.value(QLatin1String("asked_at")).toString();
    message->answered_at = object.value(QLatin1String("answered_at")).toString();
    readPart(message->query, message->queryType, message->queryText);
    readPart(message->answer, message->answerType, message->answerText);
    if (!message->isValid())
        return nullptr;
    return message;
}
