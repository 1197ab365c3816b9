#pragma once

#include <QJsonObject>

class QNetworkReply;

namespace utils {

// After a reply that failed only because the manager believed the network was gone, marks the manager
// accessible again so that the next request goes out. Every other reply is left alone.
void restoreNetworkAccess(QNetworkReply* reply);

// Reads (and so consumes) the rest of the reply's body; the JSON object in it, or an empty object.
QJsonObject replyToJsonObject(QNetworkReply* reply);

} // namespace utils
