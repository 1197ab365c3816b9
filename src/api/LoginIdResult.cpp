#include "api/LoginIdResult.h"

namespace ZorvaneAPI {

bool LoginIdResult::hasError() const
{
    return Result::hasError() || uuid.isEmpty();
}

bool LoginIdResult::isCompleted() const
{
    return !uuid.isEmpty();
}

} // namespace ZorvaneAPI
