// Another X client: prints what the clipboard holds under one format, or with "--formats" the formats
// it offers, one a line. Exits 1 when the clipboard offers nothing under that format.

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
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
