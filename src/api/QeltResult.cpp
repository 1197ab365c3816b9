#include "api/QeltResult.h"

namespace ZorvaneAPI {

QeltResult::~QeltResult() = default;

bool QeltResult::hasError() const
{
    return Result::hasError() || !qelt;
}

bool QeltResult::isCompleted() const
{
    return qelt && qelt->status == QLatin1String("completed");
}

} // namespace ZorvaneAPI
