#include "api/LoginProcessResult.h"

#include "core/constants.h"

namespace ZorvaneAPI {

namespace {

const QString kPending = QStringLiteral("pending");

} // namespace

bool LoginProcessResult::hasError() const
{
    if (Result::hasError())
        return true;
    if (status == kPending)
        return false;
    if (status == kStatusCompleted)
        return token.isEmpty() || email.isEmpty();
    return true;
}

bool LoginProcessResult::isCompleted() const
{
    return status == kStatusCompleted;
}

} // namespace ZorvaneAPI
