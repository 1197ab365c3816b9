#pragma once

#include "api/Result.h"
#include "model/ZorvaneQelt.h"

namespace ZorvaneAPI {

// Result of the calls that create or fetch one Qelt.
class QeltResult : public Result
{
public:
    ~QeltResult() override;

    // Also when no valid Qelt came back.
    bool hasError() const override;
    // The service has finished the Qelt (status "completed").
    bool isCompleted() const override;

    ZorvaneQeltPtr qelt;
};

} // namespace ZorvaneAPI
