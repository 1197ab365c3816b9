#pragma once

#include "api/Result.h"
#include "model/ZorvaneConversion.h"

#include <memory>

namespace ZorvaneAPI {

// A conversion as created or polled; not completed while any requested format is still running.
class ConversionResult : public Result
{
public:
    bool hasError() const override;
    bool isCompleted() const override;

    std::shared_ptr<ZorvaneConversion> conversion;
};

} // namespace ZorvaneAPI
