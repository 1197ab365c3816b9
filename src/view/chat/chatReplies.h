#pragma once

#include "model/ZorvaneQeltChatMsg.h"

#include <QSize>
#include <QString>
#include <QVector>

#include <memory>
#include <optional>

namespace ZorvaneAPI {
class Result;
}

// How the chat's replies read on the page: the stored exchanges as bubbles, the failures as texts.
namespace chatReplies {

struct Bubble
{
    enum Kind { Prompt, Response };
    Kind kind = Prompt;
    QString text;

    bool operator==(const Bubble& other) const { return kind == other.kind && text == other.text; }
};

// The bubbles of a history, oldest first: the service sends the newest exchange first, so the messages
// are walked from the last to the first, each giving its question and then its answer where they are text.
QVector<Bubble> bubblesOf(const QVector<std::shared_ptr<ZorvaneQeltChatMsg>>& messages);

struct Failure
{
    QString text;
    // A transport failure, which also goes to the remote log.
    bool network = false;
};

// Why a reply failed, by precedence: the reply's own message, then every service error's message each
// followed by a line break, then "<networkFailed>, net error: <code> <message>", then the generic text
// when the result has an error of another kind. Nothing for a result without error.
std::optional<Failure> failureOf(const ZorvaneAPI::Result& result, const QString& networkFailed);

// The size of a chat picture: fitted into 500 x 500 with its aspect ratio, at least 1 x 1. Invalid for
// an empty picture.
QSize fittedImageSize(const QSize& size);

} // namespace chatReplies
