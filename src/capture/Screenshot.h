#pragma once

#include <QList>
#include <QMetaType>
#include <QPixmap>
#include <QRect>

class QScreen;

// One grabbed screen on its way from a grabber to the selection overlay.
struct Screenshot
{
    QScreen* screen = nullptr;
    QPixmap pixmap;
    // Logical (device-independent) geometry in the virtual desktop, as QScreen::geometry() gives it.
    QRect geometry;
};

Q_DECLARE_METATYPE(Screenshot)
Q_DECLARE_METATYPE(QList<Screenshot>)
