#include "api/PdfResult.h"

namespace ZorvaneAPI {

bool PdfResult::hasError() const
{
    return Result::hasError() || !pdf;
}

bool PdfResult::isCompleted() const
{
    return pdf && pdf->isCompleted();
}

} // namespace ZorvaneAPI
