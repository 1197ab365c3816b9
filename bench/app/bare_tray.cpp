// The baseline of the start-up benchmark: a bare widget application with a tray icon, no more. Says
// "ready" once its event loop runs and ends on a line on standard input.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

#include <unistd.h>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QPixmap picture(32, 32);
    picture.fill(Qt::darkBlue);
    QSystemTrayIcon tray{QIcon(picture)};
    tray.show();
    QTimer::singleShot(0, &app, [] {
        std::puts("ready");
        std::fflush(stdout);
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [] { QCoreApplication::exit(0); });
    return app.exec();
}
