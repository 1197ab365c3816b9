#pragma once

#include <QJsonObject>
#include <QString>
#include <QVector>

namespace ZorvaneAPI {

// One entry of the "errors" array that the service puts in its replies.
struct ApiError
{
    QString id;
    QString message;
};

// Ids of the service's request limits, looked for in the errors of an HTTP 429 reply.
extern const QString kTooManyRequestsMinute;
extern const QString kTooManyRequestsDay;
extern const QString kTooManyRequestsMonth;

// The object's "errors" array in order; entries that are not objects with string "id" and "message"
// are skipped.
QVector<ApiError> parseErrors(const QJsonObject& object);

// True for the ids of the service's per-minute, per-day and per-month request limits.
bool isTooManyRequestsError(const QString& id);

} // namespace ZorvaneAPI
