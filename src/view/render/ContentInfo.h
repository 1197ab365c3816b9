#pragma once

#include <QMetaType>

class QVariant;

// What the editor page reports after rendering a text.
struct ContentInfo
{
    // The page's reply was unusable; width and height are then 0.
    bool error = true;
    int width = 0;
    int height = 0;

    // The page's reply to setText: [latexFailed, {"height": h, "width": w}]. A reply of any other
    // shape, or with a size that is negative, not a number or beyond int, gives an error.
    static ContentInfo fromReply(const QVariant& reply);
    // The reply to setText, grown to the size the page reported later, {"height": h, "width": w}, once
    // faces and images had come in: the larger of the two on each side. A later report that is no size
    // leaves the reply's own.
    static ContentInfo fromReplies(const QVariant& reply, const QVariant& laidOut);

    bool operator==(const ContentInfo& other) const
    {
        return error == other.error && width == other.width && height == other.height;
    }
};

Q_DECLARE_METATYPE(ContentInfo)
