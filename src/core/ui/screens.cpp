#include "core/ui/screens.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

namespace utils {

namespace {

constexpr double kBeyondInt = 2147483648.0;

} // namespace

QScreen* screenOf(QWidget* widget)
{
    if (QScreen* screen = widget ? widget->screen() : nullptr)
        return screen;
    QMessageBox::critical(widget, QCoreApplication::applicationName(),
                          QCoreApplication::translate("utils", "Sorry! Can't find the desktop"),
                          QMessageBox::Ok);
    QCoreApplication::quit();
    return nullptr;
}

QRect screenGeometry(QWidget* widget)
{
    const QScreen* screen = screenOf(widget);
    return screen ? screen->geometry() : QRect(0, 0, 0, 0);
}

QRect availableScreenGeometry(QWidget* widget)
{
    const QScreen* screen = screenOf(widget);
    return screen ? screen->availableGeometry() : QRect(0, 0, 0, 0);
}

QSize scaleFactor(const QSize& source, const QSize& target)
{
    if (source.width() == 0 || source.height() == 0)
        return source;
    const double ratio = double(target.width()) / source.width();
    const double height = source.height() * ratio;
    // A thin, tall picture can scale past int's range, where converting would be undefined.
    if (height < kBeyondInt && int(height) <= target.height())
        return QSize(target.width(), int(height + 1.0));
    return QSize(int(source.width() * (double(target.height()) / source.height()) + 1.0), target.height());
}

} // namespace utils
