#include "api/PdfsResult.h"

#include <algorithm>

namespace ZorvaneAPI {

bool PdfsResult::hasError() const
{
    return Result::hasError() || !listRead ||
           std::any_of(pdfs.cbegin(), pdfs.cend(), [](const auto& pdf) { return !pdf; });
}

bool PdfsResult::isCompleted() const
{
    return std::all_of(pdfs.cbegin(), pdfs.cend(),
                       [](const auto& pdf) { return !pdf || pdf->isCompleted(); });
}

} // namespace ZorvaneAPI
