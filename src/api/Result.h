#pragma once

#include "api/ApiError.h"
#include "api/NetworkError.h"

#include <QMetaType>
#include <QString>
#include <QVector>

#include <memory>

namespace ZorvaneAPI {

// Base of every request's result. Failures of a call travel here, never as exceptions: the
// receiver of a request's finished signal downcasts the pointer to the result of its request
// (std::dynamic_pointer_cast) and reads the error fields.
class Result
{
public:
    virtual ~Result();

    // A transport error, or service errors; subclasses add "payload missing".
    virtual bool hasError() const;
    // False while the service is still working on the call (the repeater waits for true).
    virtual bool isCompleted() const;
    // False for a partial result that more results of the same request follow.
    virtual bool isFinal() const { return true; }

    NetworkError networkError;
    QVector<ApiError> errors;
    // The top-level "message" of an error reply; only the chat answer stream fills it.
    QString message;
};

using ResultPtr = std::shared_ptr<Result>;

} // namespace ZorvaneAPI

Q_DECLARE_METATYPE(ZorvaneAPI::ResultPtr)
