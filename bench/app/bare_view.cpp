// The second baseline of the start-up benchmark: one bare web view that loads the editor page once and
// shows it, no more: the least any program that shows this page can cost. Says "ready" once the page has
// loaded and ends on a line on standard input.
#include <QApplication>
#include <QSocketNotifier>
#include <QUrl>
#include <QWebEngineView>

#include <cstdio>

#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QWebEngineView view;
    view.resize(900, 600);
    QObject::connect(&view, &QWebEngineView::loadFinished, [](bool ok) {
        std::puts(ok ? "ready" : "failed");
        std::fflush(stdout);
    });
    view.load(QUrl(QStringLiteral("qrc:/html/zorvane_qelting_editor.html")));
    view.show();
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [] { QCoreApplication::exit(0); });
    return app.exec();
}
