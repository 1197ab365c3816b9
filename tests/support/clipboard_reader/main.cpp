// Another X client: prints what the clipboard holds under one format, or with "--formats" the formats
// it offers, one a line. Exits 1 when the clipboard offers nothing under that format. With "--hold" and a
// text it takes the clipboard with that text, says "held" and keeps it until its input ends (exit 0) or
// another client takes the clipboard (exit 3).

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QSocketNotifier>

#include <unistd.h>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--hold")) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(args.at(2), QClipboard::Clipboard);
        QObject::connect(clipboard, &QClipboard::changed, [clipboard](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
                QCoreApplication::exit(3);
        });
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, [&input] {
            char byte = 0;
            if (::read(STDIN_FILENO, &byte, 1) <= 0) {
                input.setEnabled(false);
                QCoreApplication::exit(0);
            }
        });
        QFile said;
        said.open(stdout, QIODevice::WriteOnly);
        said.write("held\n");
        said.flush();
        return app.exec();
    }
    if (args.size() != 2)
        return 2;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    QFile out;
    out.open(stdout, QIODevice::WriteOnly);
    if (!data)
        return 1;
    if (args.at(1) == QLatin1String("--formats")) {
        out.write(data->formats().join('\n').toUtf8());
        return 0;
    }
    if (!data->hasFormat(args.at(1)))
        return 1;
    out.write(data->data(args.at(1)));
    return 0;
}
