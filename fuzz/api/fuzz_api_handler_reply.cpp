// Replies of the generic sender: whatever the service sends, the outcome is one callback's argument.
#include "api/APIHandler.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), int(size));
    const APIHandler::ReplyOutcome outcome = APIHandler::interpretJsonReply(body);
    if (outcome.success && outcome.document.isNull())
        std::abort();
    if (!outcome.success && outcome.document.isNull() && outcome.failure.isEmpty())
        std::abort();
    APIHandler::improveOcrSettingFrom(outcome.document);
    return 0;
}
