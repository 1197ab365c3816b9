// Replies to a file upload: the address is taken only when it is a string, and errors never crash.
#include "api/ApiError.h"
#include "api/UploadFileRequest.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), int(size));
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    ZorvaneAPI::parseErrors(object);
    const auto url = ZorvaneAPI::UploadFileRequest::urlFrom(object);
    if (url.has_value() != object.value(QStringLiteral("url")).isString())
        std::abort();
    if (size >= 16) {
        qint64 sent = 0;
        qint64 total = 0;
        memcpy(&sent, data, 8);
        memcpy(&total, data + 8, 8);
        // Products that overflow are the network layer's to avoid; keep to sizes a body can have.
        sent %= qint64(1) << 40;
        total %= qint64(1) << 40;
        if (const auto percent = ZorvaneAPI::UploadFileRequest::progressPercent(sent, total))
            if (*percent < 0 || *percent > 100)
                std::abort();
    }
    return 0;
}
