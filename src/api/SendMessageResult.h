#pragma once

#include "api/Result.h"

namespace ZorvaneAPI {

// One step of a streamed chat answer: a partial answer while the stream runs, then one final result.
class SendMessageResult : public Result
{
public:
    bool hasError() const override;
    // True only for the final result of a stream that ended without a transport error.
    bool isCompleted() const override;
    bool isFinal() const override { return finished || hasError(); }

    // The whole answer received so far.
    QString text;
    // Set while a stream payload has not been accepted.
    bool error = false;
    bool finished = false;
};

} // namespace ZorvaneAPI
