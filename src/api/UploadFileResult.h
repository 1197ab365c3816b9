#pragma once

#include "api/Result.h"

#include <QString>

namespace ZorvaneAPI {

// Result of a file upload: the address under which the service keeps the bytes.
class UploadFileResult : public Result
{
public:
    ~UploadFileResult() override;

    // Also when no address came back.
    bool hasError() const override;
    bool isCompleted() const override;

    QString url;
};

} // namespace ZorvaneAPI
