#pragma once

// What the benchmarks of the application's capture road share.
#include "api/APIHandler.h"
#include "app/Application.h"
#include "capture/ScreenShooter.h"
#include "capture/ScreenShooterDialog.h"
#include "core/identity.h"
#include "core/userState.h"
#include "support/FakeAccount.h"
#include "support/FakeService.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonObject>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVector>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

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

// The baseline of the road to the overlays, in the same run: the least a program that freezes the screens
// does, each screen grabbed and its picture shown full-screen in a window of its own, until every window is
// on the screen. Milliseconds, or a negative value when a window never showed.
inline double bareFreezeMs()
{
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<QLabel>> windows;
    for (QScreen* screen : QGuiApplication::screens()) {
        auto window = std::make_unique<QLabel>();
        window->setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        window->setPixmap(screen->grabWindow(0));
        window->setGeometry(screen->geometry());
        window->show();
        windows.push_back(std::move(window));
    }
    const bool shown = waitFor([&] {
        return std::all_of(windows.begin(), windows.end(), [](const std::unique_ptr<QLabel>& window) {
            return window->windowHandle() && window->windowHandle()->isExposed();
        });
    });
    const double ms = clock.nsecsElapsed() / 1e6;
    windows.clear();
    waitFor([] { return false; }, 100); // the windows leave the screen before the next measure
    return shown ? ms : -1;
}

// Ends the run with an error when a modal box opens, which nobody would answer: a failure the benchmark
// did not expect would otherwise wait for ever.
inline void failOnModalBoxes(QObject* context)
{
    auto* watch = new QTimer(context);
    QObject::connect(watch, &QTimer::timeout, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            const QLabel* text = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            std::printf("a modal box opened, the run ends: %s\n",
                        qPrintable(text ? text->text() : box->windowTitle()));
            std::fflush(stdout);
            std::_Exit(1);
        }
    });
    watch->start(50);
}

// The service's quiet routes (settings, logs, events), the program pointed at it and signed in, then started as
// at a login. False when another instance holds the guard.
inline bool startSignedIn(Application& app, zq::test::FakeService& service)
{
    service.on("GET", "/v1/user/settings", zq::test::Reply::json(QJsonObject()));
    for (const char* path : {"/v1/logs", "/v1/events"})
        service.on("POST", path, zq::test::Reply::json(QJsonObject()));
    utils::overrideBaseUrlsForTesting(service.baseUrl());
    APIHandler::overrideNetworkAvailabilityForTesting(true);
    utils::setAuthInfo(QStringLiteral("me@example.org"), QStringLiteral("t0k"));
    if (!app.CheckSingleInstance())
        return false;
    app.Init();
    return true;
}

// The service's upload route: each upload becomes a new Qelt "cap<n>" of the account holding `latex`,
// answered after `delayMs`.
inline void answerUploads(zq::test::FakeService& service, zq::test::FakeAccount& account, const QString& latex,
                          int delayMs = 0)
{
    auto created = std::make_shared<int>(0);
    service.on("POST", "/v1/qelts-multipart", [&service, &account, latex, delayMs, created](const zq::test::RecordedRequest&) {
        return zq::test::Reply::json(
                   account.add(QStringLiteral("cap%1").arg(++*created), latex).json(service.baseUrl()))
            .withDelay(delayMs);
    });
}
