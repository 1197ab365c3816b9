// Stored records as the uploader reads them, the endpoint's replies, DSNs, and the JSON strings every
// record is built from.
#include "json.h"
#include "upload.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    crashreport::isRecord(bytes);
    crashreport::replyStatus(bytes);
    crashreport::parseDsn(QString::fromUtf8(bytes));

    // Any text, valid UTF-8 or not, must come out as one valid JSON string.
    const std::string text(bytes.constData(), strnlen(bytes.constData(), size_t(bytes.size())));
    const std::string quoted = "[" + crashreport::jsonString(text.c_str()) + "]";
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(quoted), &error);
    if (error.error != QJsonParseError::NoError || !document.array().at(0).isString())
        std::abort();
    return 0;
}
