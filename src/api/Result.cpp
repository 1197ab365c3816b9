#include "api/Result.h"

namespace ZorvaneAPI {

Result::~Result() = default;

bool Result::hasError() const
{
    return networkError.isSet() || !errors.isEmpty();
}

bool Result::isCompleted() const
{
    return true;
}

} // namespace ZorvaneAPI
