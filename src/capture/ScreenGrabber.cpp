#include "capture/ScreenGrabber.h"

#include "capture/captureGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

ScreenGrabber::ScreenGrabber(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<Screenshot>();
    qRegisterMetaType<QList<Screenshot>>();
}

QList<Screenshot> ScreenGrabber::splitByScreens(const QPixmap& picture)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    QVector<QRect> geometries;
    for (QScreen* screen : screens)
        geometries.append(screen->geometry());
    const QList<QPixmap> pictures = utils::capture::splitDesktopPicture(picture, geometries);

    QList<Screenshot> screenshots;
    for (int i = 0; i < screens.size(); ++i)
        screenshots.append(Screenshot{screens.at(i), pictures.at(i), geometries.at(i)});
    return screenshots;
}

void ScreenGrabber::grab()
{
    QTimer::singleShot(0, this, &ScreenGrabber::grabScreens);
}
