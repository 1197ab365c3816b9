#pragma once

#include "api/Result.h"
#include "model/ZorvanePDF.h"

#include <QVector>

#include <memory>

namespace ZorvaneAPI {

// The PDF records of a lookup by file name, in the order of the reply. An empty list without error
// means that no such file was uploaded; a reply that is no whole list is an error.
class PdfsResult : public Result
{
public:
    bool hasError() const override;
    // No listed PDF is still being processed.
    bool isCompleted() const override;

    QVector<std::shared_ptr<ZorvanePDF>> pdfs;
    bool listRead = false;
};

} // namespace ZorvaneAPI
