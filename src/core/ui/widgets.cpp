#include "core/ui/widgets.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QObject>
#include <QPixmap>
#include <QWidget>

#include <algorithm>

namespace utils {

void makeIconLabelRow(QWidget* widget, const QString& iconPath)
{
    if (!widget)
        return;
    auto* layout = new QHBoxLayout(widget);
    layout->setSpacing(0);
    auto* icon = new QLabel(widget);
    icon->setFixedSize(16, 16);
    layout->addSpacing(3);
    layout->addWidget(icon, 0);
    layout->addStretch(0);
    icon->setPixmap(QPixmap(iconPath));
}

namespace {

int depthBelow(const QWidget* widget)
{
    int depth = 0;
    for (const QObject* child : widget->children()) {
        if (child->isWidgetType() && !static_cast<const QWidget*>(child)->isWindow())
            depth = std::max(depth, 1 + depthBelow(static_cast<const QWidget*>(child)));
    }
    return depth;
}

} // namespace

void settleLayouts(QWidget* window)
{
    if (!window || !window->isVisible())
        return;
    // One pass settles one level: what a pass posts waits for the next.
    for (int level = depthBelow(window); level >= 0; --level)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

const char* lineEditStyle()
{
    return "QLineEdit { border-width: 1px; border-style: solid; border-color: rgba(125, 130, 156, 0.3); "
           "border-radius: 5px; background-color: white; font-size: 14px;color: rgb(30, 32, 41); "
           "padding-left: 35px; padding-right: 35px; }QLineEdit:focus { border-color: rgb(0, 147, 255); }";
}

const char* lineEditErrorStyle()
{
    return "QLineEdit { border-width: 1px; border-style: solid; border-color: rgb(255, 54, 46); "
           "border-radius: 5px; background-color: white; font-size: 14px;color: rgb(30, 32, 41); "
           "padding-left: 35px; padding-right: 35px; }QLineEdit:focus { border-color: rgb(255, 54, 46); }";
}

QColor confidenceColor(double confidence)
{
    // Written as at-least tests so that NaN, which fails every comparison, ends up grey.
    const char* name = "#7d829c";
    if (confidence >= 0.5)
        name = "#66d945";
    else if (confidence >= 0.2)
        name = "#f1c12c";
    else if (confidence >= 0)
        name = "#fc3d3a";
    QColor color;
    color.setNamedColor(QLatin1String(name));
    return color;
}

QString emailErrorText(const QString& errorId)
{
    if (errorId == QLatin1String("email_not_found") ||
        errorId == QLatin1String("email_not_found_or_already_verified"))
        return QObject::tr("Email not found");
    if (errorId == QLatin1String("email_already_exists"))
        return QObject::tr("Already exists");
    if (errorId == QLatin1String("email_not_verified"))
        return QObject::tr("Email is not verified");
    if (errorId == QLatin1String("invalid_email"))
        return QObject::tr("Invalid email");
    return {};
}

QString passwordErrorText(const QString& errorId)
{
    if (errorId == QLatin1String("invalid_password"))
        return QObject::tr("Invalid password");
    if (errorId == QLatin1String("incorrect_password"))
        return QObject::tr("Incorrect password");
    return {};
}

} // namespace utils
