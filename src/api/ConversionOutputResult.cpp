#include "api/ConversionOutputResult.h"

namespace ZorvaneAPI {

bool ConversionOutputResult::hasError() const
{
    return Result::hasError() || !output;
}

bool ConversionOutputResult::isCompleted() const
{
    return output != nullptr;
}

} // namespace ZorvaneAPI
