// The conversion record from arbitrary reply JSON: never a record without an id, never a foreign
// format key, and a completed format always has an output path.

#include "model/ConversionFormats.h"
#include "model/ZorvaneConversion.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)));
    const auto conversion = ZorvaneConversion::fromJson(document.object());
    if (!conversion)
        return 0;
    if (!conversion->isValid())
        std::abort();
    for (const QString& key : conversion->statusByFormat.keys() + conversion->outputFormats.keys()) {
        if (!SupportedConversionFormats.contains(key))
            std::abort();
    }
    for (const QString& key : SupportedConversionFormats) {
        if (conversion->isFormatCompleted(key) && conversion->outputFormats.value(key).isNull())
            std::abort();
    }
    return 0;
}
