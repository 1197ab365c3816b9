#include "capture/ScreenGrabberLin.h"

#include <QGuiApplication>
#include <QScreen>

void ScreenGrabberLin::grabScreens()
{
    QList<Screenshot> screenshots;
    for (QScreen* screen : QGuiApplication::screens())
        screenshots.append(Screenshot{screen, screen->grabWindow(0), screen->geometry()});
    emit finished(screenshots);
}
