#pragma once

#include <QByteArray>
#include <QJsonObject>

namespace ZorvaneAPI {

class ConversionResult;
class Request;

// The payload step shared by the create and poll requests: the "conversion" object of the reply.
void readConversion(const Request& request, ConversionResult& result, const QJsonObject& object,
                    const QByteArray& body);

} // namespace ZorvaneAPI
