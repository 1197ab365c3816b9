#include "view/chat/chatReplies.h"

#include "api/Result.h"
#include "api/http.h"

#include <algorithm>

namespace chatReplies {

namespace {

constexpr qint64 kImageSide = 500;

} // namespace

QVector<Bubble> bubblesOf(const QVector<std::shared_ptr<ZorvaneQeltChatMsg>>& messages)
{
    QVector<Bubble> bubbles;
    for (auto it = messages.crbegin(); it != messages.crend(); ++it) {
        const ZorvaneQeltChatMsg* message = it->get();
        if (!message)
            continue;
        if (message->queryType == QLatin1String("text"))
            bubbles.append({Bubble::Prompt, message->queryText});
        if (message->answerType == QLatin1String("text"))
            bubbles.append({Bubble::Response, message->answerText});
    }
    return bubbles;
}

std::optional<Failure> failureOf(const ZorvaneAPI::Result& result, const QString& networkFailed)
{
    if (!result.message.isEmpty())
        return Failure{result.message, false};
    if (!result.errors.isEmpty()) {
        QString text;
        for (const ZorvaneAPI::ApiError& error : result.errors)
            text += error.message + QLatin1Char('\n');
        return Failure{text, false};
    }
    if (result.networkError.isSet())
        return Failure{QStringLiteral("%1, net error: %2 %3")
                           .arg(networkFailed)
                           .arg(result.networkError.code)
                           .arg(result.networkError.message),
                       true};
    if (!result.hasError())
        return std::nullopt;
    return Failure{ZorvaneAPI::http::genericFailureText(), false};
}

QSize fittedImageSize(const QSize& size)
{
    if (size.width() <= 0 || size.height() <= 0)
        return QSize();
    const qint64 width = size.width();
    const qint64 height = size.height();
    if (width >= height)
        return QSize(int(kImageSide), int(std::max<qint64>(1, height * kImageSide / width)));
    return QSize(int(std::max<qint64>(1, width * kImageSide / height)), int(kImageSide));
}

} // namespace chatReplies
