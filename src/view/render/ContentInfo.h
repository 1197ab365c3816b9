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

    bool operator==(const ContentInfo& other) const
    {
        return error == other.error && width == other.width && height == other.height;
    }
};

Q_DECLARE_METATYPE(ContentInfo)
