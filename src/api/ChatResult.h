#pragma once

#include "api/Result.h"
#include "model/ZorvaneQeltChatMsg.h"

#include <QVector>

#include <memory>

namespace ZorvaneAPI {

// The stored chat about one Qelt, in the order the service sent it.
class ChatResult : public Result
{
public:
    bool hasError() const override;

    QVector<std::shared_ptr<ZorvaneQeltChatMsg>> messages;
};

} // namespace ZorvaneAPI
