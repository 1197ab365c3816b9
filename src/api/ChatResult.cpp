#include "api/ChatResult.h"

#include <algorithm>

namespace ZorvaneAPI {

bool ChatResult::hasError() const
{
    return Result::hasError() ||
           std::any_of(messages.cbegin(), messages.cend(), [](const auto& message) { return !message; });
}

} // namespace ZorvaneAPI
