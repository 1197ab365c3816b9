#include "api/UploadFileResult.h"

namespace ZorvaneAPI {

UploadFileResult::~UploadFileResult() = default;

bool UploadFileResult::hasError() const
{
    return Result::hasError() || url.isEmpty();
}

bool UploadFileResult::isCompleted() const
{
    return !url.isEmpty();
}

} // namespace ZorvaneAPI
