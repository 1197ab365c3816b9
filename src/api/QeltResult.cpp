#include "api/QeltResult.h"

#include "core/constants.h"

namespace ZorvaneAPI {

QeltResult::~QeltResult() = default;

bool QeltResult::hasError() const
{
    return Result::hasError() || !qelt;
}

bool QeltResult::isCompleted() const
{
    return qelt && qelt->status == kStatusCompleted;
}

} // namespace ZorvaneAPI
