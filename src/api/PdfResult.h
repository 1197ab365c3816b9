#pragma once

#include "api/Result.h"
#include "model/ZorvanePDF.h"

#include <memory>

namespace ZorvaneAPI {

// One PDF record, from an upload or a lookup by id.
class PdfResult : public Result
{
public:
    bool hasError() const override;
    // The service has finished processing the PDF.
    bool isCompleted() const override;

    std::shared_ptr<ZorvanePDF> pdf;
};

} // namespace ZorvaneAPI
