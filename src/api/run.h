#pragma once

#include "api/Result.h"
#include "api/http.h"

#include <QDebug>
#include <QNetworkReply>
#include <QObject>

#include <memory>

namespace ZorvaneAPI {

// Connects a new request (or repeater) to its receiver: each result reaches handler as ResultType on
// context's thread, and the request is disposed of after the final one. The request becomes a child of
// context when it has no parent, so that it dies with its receiver at the latest. Returns the request,
// for its exec:
//
//     run<QeltResult>(Provider::instance().getQeltRequest(), this,
//                     [this](const std::shared_ptr<QeltResult>& result) { show(result); })
//         ->exec(id);
//
// A result of another type than ResultType (a programming error), or none (a repeater whose account went
// before its first attempt), reaches handler as a ResultType with a network error, so that the handler
// need not test for null.
template <typename ResultType, typename RequestType, typename Handler>
RequestType* run(RequestType* request, QObject* context, Handler handler)
{
    if (!request->parent() && context->thread() == request->thread())
        request->setParent(context);
    QObject::connect(request, &RequestType::finished, context,
                     [request, handler = std::move(handler)](const ResultPtr& result) {
                         auto typed = std::dynamic_pointer_cast<ResultType>(result);
                         if (!typed) {
                             if (result)
                                 qWarning() << "[ZorvaneAPI::run] Unexpected result type from"
                                            << request->metaObject()->className();
                             typed = std::make_shared<ResultType>();
                             typed->networkError.code = QNetworkReply::UnknownContentError;
                             typed->networkError.message = http::genericFailureText();
                         }
                         if (!result || result->isFinal())
                             request->deleteLater();
                         handler(typed);
                     });
    return request;
}

} // namespace ZorvaneAPI
