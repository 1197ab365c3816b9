#pragma once

#include <QImage>
#include <QString>

// One path of the image cache: its picture once decoded, and who asked for it first.
struct CachedImage
{
    QImage image; // null until loaded
    QString owner;
};
