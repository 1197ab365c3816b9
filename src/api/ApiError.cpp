#include "api/ApiError.h"

#include <QJsonArray>

namespace ZorvaneAPI {

const QString kTooManyRequestsMinute = QStringLiteral("too_many_requests_minute");
const QString kTooManyRequestsDay = QStringLiteral("too_many_requests_day");
const QString kTooManyRequestsMonth = QStringLiteral("too_many_requests_month");

QVector<ApiError> parseErrors(const QJsonObject& object)
{
    QVector<ApiError> errors;
    const QJsonArray array = object.value(QLatin1String("errors")).toArray();
    for (const QJsonValue& element : array) {
        const QJsonObject entry = element.toObject();
        const QJsonValue id = entry.value(QLatin1String("id"));
        const QJsonValue message = entry.value(QLatin1String("message"));
        if (id.isString() && message.isString())
            errors.append({id.toString(), message.toString()});
    }
    return errors;
}

bool isTooManyRequestsError(const QString& id)
{
    return id == kTooManyRequestsMinute || id == kTooManyRequestsDay || id == kTooManyRequestsMonth;
}

} // namespace ZorvaneAPI
