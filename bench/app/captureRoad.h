#pragma once

// What the benchmarks of the application's capture road share.
#include "capture/ScreenShooter.h"
#include "capture/ScreenShooterDialog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QVector>
#include <QWindow>

#include <algorithm>
#include <functional>

inline double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values.at(values.size() / 2);
}

// Runs the event loop until done() holds; false when it did not within `ms`.
inline bool waitFor(const std::function<bool()>& done, int ms = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// One overlay per screen, each on the screen.
inline bool overlaysExposed(const ScreenShooter& shooter)
{
    const auto overlays = shooter.overlays();
    return overlays.size() == QGuiApplication::screens().size() &&
           std::all_of(overlays.begin(), overlays.end(), [](ScreenShooterDialog* overlay) {
               return overlay->windowHandle() && overlay->windowHandle()->isExposed();
           });
}
