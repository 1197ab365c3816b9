#pragma once

#include "api/Result.h"

namespace ZorvaneAPI {

// The login process that the service opened for a browser sign-in.
class LoginIdResult : public Result
{
public:
    bool hasError() const override;
    bool isCompleted() const override;

    QString uuid;
};

} // namespace ZorvaneAPI
