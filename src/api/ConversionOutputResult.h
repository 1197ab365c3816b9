#pragma once

#include "api/Result.h"
#include "model/ZorvaneConversionOutput.h"

#include <memory>

namespace ZorvaneAPI {

// One downloaded conversion output. The output may still be empty: callers test its isValid.
class ConversionOutputResult : public Result
{
public:
    bool hasError() const override;
    bool isCompleted() const override;

    std::shared_ptr<ZorvaneConversionOutput> output;
};

} // namespace ZorvaneAPI
