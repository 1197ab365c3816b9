#pragma once

#include "api/Result.h"

namespace ZorvaneAPI {

// The state of a browser sign-in: "pending" until the user has signed in, then "completed" with the
// user's e-mail and bearer token.
class LoginProcessResult : public Result
{
public:
    // A pending process is no error; an unknown status or a completed one without credentials is.
    bool hasError() const override;
    bool isCompleted() const override;

    QString status;
    QString email;
    QString token;
};

} // namespace ZorvaneAPI
