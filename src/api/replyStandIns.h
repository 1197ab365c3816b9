#pragma once

#include <QJsonObject>

class QNetworkReply;

// Left for the callers that have not moved yet: forwards to the foundation's helpers in
// core/network.h, which new code includes directly. Remove once nothing includes this file.
namespace ZorvaneAPI::standIn {

void restoreNetworkAccess(QNetworkReply* reply);
QJsonObject replyToJsonObject(QNetworkReply* reply);

} // namespace ZorvaneAPI::standIn
