#include "api/ConversionResult.h"

namespace ZorvaneAPI {

bool ConversionResult::hasError() const
{
    return Result::hasError() || !conversion;
}

bool ConversionResult::isCompleted() const
{
    return conversion && conversion->isCompleted();
}

} // namespace ZorvaneAPI
