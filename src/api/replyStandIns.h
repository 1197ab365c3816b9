#pragma once

#include <QJsonObject>

class QNetworkReply;

// TEMPORARY: stand-ins for the foundation's network helpers until they land; then replaced by the
// utils:: ones and removed.
namespace ZorvaneAPI::standIn {

void restoreNetworkAccess(QNetworkReply* reply);
QJsonObject replyToJsonObject(QNetworkReply* reply);

} // namespace ZorvaneAPI::standIn
