#include "view/window/userReply.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace userReply {

Outcome read(const QByteArray& body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return {};
    const QJsonObject object = document.object();
    const QJsonValue error = object.value(QLatin1String("error"));
    if (error.isString() && !error.toString().isEmpty())
        return {Kind::Error, error.toString()};
    const QJsonValue name = object.value(QLatin1String("username"));
    if (name.isString())
        return {Kind::UserName, name.toString()};
    return {Kind::NoUserName, QString()};
}

} // namespace userReply
