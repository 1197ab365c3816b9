#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class QNetworkReply;

namespace ZorvaneAPI {

class QeltResult;
class Request;

// Reply steps shared by the three Qelt requests.
namespace qeltReplies {

// The Qelt of a reply object into the result; "Received invalid results:" when it is not valid.
void readQelt(const Request& request, QeltResult& result, const QJsonObject& object, const QByteArray& body);

// The create requests' payload: server times, Qelt id and input type into the timing record, then
// the Qelt.
void readCreatedQelt(const Request& request, QeltResult& result, const QJsonObject& object,
                     const QByteArray& body, const QString& inputType);

// Request id and HTTP status of every create reply, failed ones too, into the timing record.
void recordCreateReply(const QNetworkReply& reply, int httpStatus);

} // namespace qeltReplies
} // namespace ZorvaneAPI
