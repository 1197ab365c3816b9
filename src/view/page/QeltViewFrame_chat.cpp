// The chat about the shown Qelt: the bubble column, the question and its streamed answer, the history and
// its clearing. The requests and which of their replies count are the ChatSession's. The chat's tab is
// never offered in the tab bar, but the column is kept as if it were.

#include "api/APIHandler.h"
#include "api/ChatResult.h"
#include "api/SendMessageResult.h"
#include "view/chat/ChatSession.h"
#include "view/chat/chatReplies.h"
#include "view/chat/ui/QeltChatItemFrame.h"
#include "view/page/QeltViewFrame.h"

#include <QDebug>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

namespace {

void logFailure(const chatReplies::Failure& failure)
{
    qWarning().noquote() << "[QeltViewFrame]" << failure.text;
    if (failure.network)
        APIHandler::log(failure.text, QStringLiteral("error"), QString());
}

} // namespace

void QeltViewFrame::ConnectChat()
{
    chatSession = new ChatSession(this);
    connect(ui.but_send_message, &QPushButton::clicked, this, &QeltViewFrame::SendChatMessage);
    connect(ui.edit_query, &QLineEdit::returnPressed, this, &QeltViewFrame::SendChatMessage);
    connect(ui.but_clear_chat, &QPushButton::clicked, this, &QeltViewFrame::ClearChat);
    connect(chatSession, &ChatSession::answerReply, this, &QeltViewFrame::OnChatMessageReply);
    connect(chatSession, &ChatSession::historyReply, this, &QeltViewFrame::OnChatHistoryReply);
    connect(chatSession, &ChatSession::clearReply, this, &QeltViewFrame::OnClearChatReply);

    // New bubbles keep the column scrolled to its end, unless the user scrolled away from it.
    QScrollBar* bar = ui.qeltChatScrollArea->verticalScrollBar();
    connect(
        bar, &QScrollBar::valueChanged, this,
        [this, bar](int value) { stickToBottom = value == bar->maximum(); }, Qt::DirectConnection);
    connect(
        bar, &QScrollBar::rangeChanged, this,
        [this, bar](int, int maximum) {
            if (stickToBottom)
                bar->setValue(maximum);
        },
        Qt::DirectConnection);
}

QPixmap QeltViewFrame::ChatImage() const
{
    if (!originalPixmap.isNull())
        return originalPixmap;
    return listPixmap;
}

void QeltViewFrame::AddChatBubble(QWidget* bubble)
{
    ui.qeltChatScrollAreaWidgetContents->layout()->addWidget(bubble);
}

void QeltViewFrame::AddQeltChatItem()
{
    pendingBubble = nullptr;
    chatSession->dropAnswer();
    ClearLayout(ui.qeltChatScrollAreaWidgetContents->layout());
    AddChatBubble(QeltChatItemFrame::createImageItem(ui.qeltChatScrollAreaWidgetContents, ChatImage()));
}

void QeltViewFrame::UpdateChatPixmaps()
{
    QLayoutItem* first = ui.qeltChatScrollAreaWidgetContents->layout()->itemAt(0);
    if (auto* bubble = first ? qobject_cast<QeltChatItemFrame*>(first->widget()) : nullptr)
        bubble->setImage(ChatImage());
}

void QeltViewFrame::LoadChatHistory()
{
    AddQeltChatItem();
    if (shownQelt.id.isEmpty())
        return;
    chatSession->loadHistory(shownQelt.id);
    ui.qeltChatHeader->setEnabled(false);
    ui.qeltChatFooter->setEnabled(false);
}

void QeltViewFrame::ClearChat()
{
    AddQeltChatItem();
    if (shownQelt.id.isEmpty())
        return;
    chatSession->clear(shownQelt.id);
    ui.qeltChatHeader->setEnabled(false);
    ui.qeltChatFooter->setEnabled(false);
}

void QeltViewFrame::SendChatMessage()
{
    const QString question = ui.edit_query->text();
    if (question.isEmpty() || shownQelt.id.isEmpty())
        return;
    ui.edit_query->clear();
    chatSession->send(shownQelt.id, shownQelt.text.isEmpty() ? shownQelt.latex : shownQelt.text, question);
    ui.qeltChatHeader->setEnabled(false);
    ui.qeltChatFooter->setEnabled(false);
    QWidget* column = ui.qeltChatScrollAreaWidgetContents;
    AddChatBubble(QeltChatItemFrame::createPromptItem(column, question));
    QeltChatItemFrame* answer = QeltChatItemFrame::createResponseItem(column, tr("Please wait..."));
    answer->setCopyButtonVisible(false);
    AddChatBubble(answer);
    pendingBubble = answer;
}

void QeltViewFrame::OnChatMessageReply(ZorvaneAPI::ResultPtr result)
{
    const auto answer = std::dynamic_pointer_cast<ZorvaneAPI::SendMessageResult>(result);
    if (!pendingBubble || !answer) {
        if (!answer)
            qWarning().noquote() << "[QeltViewFrame] Invalid request result";
        return;
    }
    if (answer->isCompleted() || answer->hasError()) {
        ui.qeltChatHeader->setEnabled(true);
        ui.qeltChatFooter->setEnabled(true);
        ui.edit_query->setFocus();
    }
    if (const auto failure = chatReplies::failureOf(*answer, QStringLiteral("Send message failed"))) {
        logFailure(*failure);
        pendingBubble->setError(failure->text);
        return;
    }
    pendingBubble->setResponse(answer->text);
    if (answer->isCompleted()) {
        pendingBubble->setCopyButtonVisible(true);
        pendingBubble = nullptr;
    }
}

void QeltViewFrame::OnChatHistoryReply(ZorvaneAPI::ResultPtr result)
{
    ui.qeltChatHeader->setEnabled(true);
    ui.qeltChatFooter->setEnabled(true);
    const auto history = std::dynamic_pointer_cast<ZorvaneAPI::ChatResult>(result);
    if (!history) {
        qWarning().noquote() << "[QeltViewFrame] Invalid request result";
        return;
    }
    if (const auto failure = chatReplies::failureOf(*history, QStringLiteral("Get chat history failed"))) {
        logFailure(*failure);
        return;
    }
    QWidget* column = ui.qeltChatScrollAreaWidgetContents;
    for (const chatReplies::Bubble& bubble : chatReplies::bubblesOf(history->messages)) {
        AddChatBubble(bubble.kind == chatReplies::Bubble::Prompt
                          ? QeltChatItemFrame::createPromptItem(column, bubble.text)
                          : QeltChatItemFrame::createResponseItem(column, bubble.text));
    }
}

void QeltViewFrame::OnClearChatReply(ZorvaneAPI::ResultPtr result)
{
    ui.qeltChatHeader->setEnabled(true);
    ui.qeltChatFooter->setEnabled(true);
    if (!result) {
        qWarning().noquote() << "[QeltViewFrame] Invalid request result";
        return;
    }
    if (const auto failure = chatReplies::failureOf(*result, QStringLiteral("Clear chat history failed")))
        logFailure(*failure);
}
