// The PDF record from arbitrary reply JSON: never a record without an id, never a foreign format key.

#include "model/ConversionFormats.h"
#include "model/ZorvanePDF.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)));
    const auto pdf = ZorvanePDF::fromJson(document.object());
    if (!pdf)
        return 0;
    if (!pdf->isValid())
        std::abort();
    for (auto it = pdf->outputFormats.cbegin(); it != pdf->outputFormats.cend(); ++it) {
        if (!SupportedConversionFormats.contains(it.key()))
            std::abort();
    }
    return 0;
}
