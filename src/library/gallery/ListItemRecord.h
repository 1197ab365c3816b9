#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// One picture of a gallery card: the card copy on disk that the image index names for one image URL,
// and its decoded form while the card is near the visible area.
struct ListItemRecord
{
    QString key; // the image URL the record was made for
    QSize size{-1, -1};
    QString path;
    QImage image;

    bool isUsable() const { return size.width() >= 1 && size.height() >= 1 && !path.isEmpty(); }
};
