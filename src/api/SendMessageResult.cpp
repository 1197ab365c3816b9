#include "api/SendMessageResult.h"

namespace ZorvaneAPI {

bool SendMessageResult::hasError() const
{
    return Result::hasError() || error;
}

bool SendMessageResult::isCompleted() const
{
    return finished;
}

} // namespace ZorvaneAPI
