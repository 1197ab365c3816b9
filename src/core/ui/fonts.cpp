#include "core/ui/fonts.h"

#include <QApplication>
#include <QDebug>
#include <QFont>
#include <QFontDatabase>
#include <QWidget>

namespace utils {

namespace {
const char kCodeHolderProperty[] = "cssClass";
const char kCodeHolderClass[] = "codeHolder";
} // namespace

void loadApplicationFonts()
{
    // A missing font is not fatal: the family request below falls back to the system's choice.
    for (const char* path : {":/fonts/IBMPlexSans-Regular.ttf", ":/fonts/Inconsolata-VariableFont.ttf"}) {
        if (QFontDatabase::addApplicationFont(QString::fromLatin1(path)) < 0)
            qWarning() << "[fonts] Could not register" << path;
    }
    QFont font(QStringLiteral("IBM Plex Sans"), -1, -1, false);
    font.setPixelSize(14);
    QApplication::setFont(font);
}

QString codeFontStyleSheet()
{
    return QStringLiteral("*[cssClass~='%1'] {  font-family: '%2';}")
        .arg(QLatin1String(kCodeHolderClass), QStringLiteral("Inconsolata"));
}

void markAsCodeHolder(QWidget* widget)
{
    if (widget)
        widget->setProperty(kCodeHolderProperty, QString::fromLatin1(kCodeHolderClass));
}

QUrl editorPageUrl()
{
    return QUrl(QStringLiteral("qrc:/html/zorvane_qelting_editor.html"), QUrl::TolerantMode);
}

} // namespace utils
