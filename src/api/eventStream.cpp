#include "api/eventStream.h"

#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace ZorvaneAPI::eventStream {

QByteArray takeLastPayload(QIODevice& device)
{
    static const QByteArray kDataPrefix = QByteArrayLiteral("data: ");
    QByteArray payload;
    while (device.canReadLine()) {
        const QByteArray line = device.readLine().trimmed();
        if (line.startsWith(kDataPrefix))
            payload = line.mid(kDataPrefix.size());
    }
    return payload;
}

Answer parseAnswer(const QByteArray& payload)
{
    Answer answer;
    const QJsonDocument document = QJsonDocument::fromJson(payload);
    if (document.isEmpty() || !document.isObject()) {
        answer.error = PayloadError::NotJsonObject;
        return answer;
    }
    const QJsonValue generative = document.object().value(QLatin1String("generative"));
    if (!generative.isObject()) {
        answer.error = PayloadError::NoGenerativeObject;
        return answer;
    }
    const QJsonObject part = generative.toObject();
    const QJsonValue type = part.value(QLatin1String("type"));
    if (!type.isString() || type.toString() != QLatin1String("text")) {
        answer.error = PayloadError::UnsupportedType;
        return answer;
    }
    const QJsonValue data = part.value(QLatin1String("data"));
    if (!data.isString()) {
        answer.error = PayloadError::TextNotString;
        return answer;
    }
    answer.text = data.toString();
    return answer;
}

const char* payloadErrorText(PayloadError error)
{
    switch (error) {
    case PayloadError::NotJsonObject:
        return "Failed to parse json:";
    case PayloadError::NoGenerativeObject:
        return "Invalid json body:";
    case PayloadError::UnsupportedType:
        return "Answer type is not supported:";
    case PayloadError::TextNotString:
        return "Answer text field is not correct:";
    case PayloadError::None:
        break;
    }
    return "";
}

} // namespace ZorvaneAPI::eventStream
