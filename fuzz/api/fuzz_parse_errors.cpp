// The service's "errors" list from arbitrary reply JSON.

#include "api/ApiError.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)));
    const QJsonObject object = document.object();
    const QVector<ZorvaneAPI::ApiError> errors = ZorvaneAPI::parseErrors(object);
    if (errors.size() > object.value(QLatin1String("errors")).toArray().size())
        std::abort();
    for (const ZorvaneAPI::ApiError& error : errors)
        ZorvaneAPI::isTooManyRequestsError(error.id);
    return 0;
}
