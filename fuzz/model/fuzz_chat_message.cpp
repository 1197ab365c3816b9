// The chat message record from arbitrary reply JSON, including the JSON texts nested inside it.

#include "model/ZorvaneQeltChatMsg.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)));
    const auto message = ZorvaneQeltChatMsg::fromJson(document.object());
    if (message && (!message->isValid() ||
                    (message->queryType != QLatin1String("text") && !message->queryText.isEmpty())))
        std::abort();
    return 0;
}
