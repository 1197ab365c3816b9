#include "view/chat/ChatSession.h"

#include "api/ChatResult.h"
#include "api/ClearChatHistoryRequest.h"
#include "api/GetChatHistoryRequest.h"
#include "api/Provider.h"
#include "api/SendMessageRequest.h"
#include "api/SendMessageResult.h"
#include "api/run.h"

ChatSession::ChatSession(QObject* parent) : QObject(parent) {}

bool ChatSession::counts(QObject* request, bool isAnswer)
{
    if (request == current && (!isAnswer || answerWanted))
        return true;
    // Its stream, if any, closes with it.
    request->deleteLater();
    return false;
}

void ChatSession::send(const QString& qeltId, const QString& content, const QString& question)
{
    auto* request = ZorvaneAPI::Provider::instance().sendMessageRequest();
    current = request;
    answerWanted = true;
    ZorvaneAPI::run<ZorvaneAPI::SendMessageResult>(
        request, this,
        [this, request](const std::shared_ptr<ZorvaneAPI::SendMessageResult>& result) {
            if (counts(request, true))
                emit answerReply(result);
        })
        ->exec(qeltId, content, question);
}

void ChatSession::loadHistory(const QString& qeltId)
{
    auto* request = ZorvaneAPI::Provider::instance().getChatHistoryRequest();
    current = request;
    ZorvaneAPI::run<ZorvaneAPI::ChatResult>(
        request, this,
        [this, request](const std::shared_ptr<ZorvaneAPI::ChatResult>& result) {
            if (counts(request, false))
                emit historyReply(result);
        })
        ->exec(qeltId);
}

void ChatSession::clear(const QString& qeltId)
{
    auto* request = ZorvaneAPI::Provider::instance().clearChatHistoryRequest();
    current = request;
    ZorvaneAPI::run<ZorvaneAPI::Result>(request, this,
                                        [this, request](const std::shared_ptr<ZorvaneAPI::Result>& result) {
                                            if (counts(request, false))
                                                emit clearReply(result);
                                        })
        ->exec(qeltId);
}

void ChatSession::dropAnswer()
{
    answerWanted = false;
}
