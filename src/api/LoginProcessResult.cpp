#include "api/LoginProcessResult.h"

namespace ZorvaneAPI {

namespace {

const QString kPending = QStringLiteral("pending");
const QString kCompleted = QStringLiteral("completed");

} // namespace

bool LoginProcessResult::hasError() const
{
    if (Result::hasError())
        return true;
    if (status == kPending)
        return false;
    if (status == kCompleted)
        return token.isEmpty() || email.isEmpty();
    return true;
}

bool LoginProcessResult::isCompleted() const
{
    return status == kCompleted;
}

} // namespace ZorvaneAPI
