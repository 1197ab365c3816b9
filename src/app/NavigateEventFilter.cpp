#include "app/NavigateEventFilter.h"

#include "core/x11/x11Shortcuts.h"

#include <QApplication>
#include <QWidget>
#include <QX11Info>

#include <xcb/xcb.h>

namespace {

struct NavigationKey
{
    quint32 keysym;
    void (NavigateEventFilter::*plain)();
    void (NavigateEventFilter::*modified)(); // with Shift or Control
};

const NavigationKey kKeys[] = {
    {0xff53, &NavigateEventFilter::NextQelt, &NavigateEventFilter::LastQelt},     // Right
    {0xff51, &NavigateEventFilter::PrevQelt, &NavigateEventFilter::FirstQelt},    // Left
    {0xff52, &NavigateEventFilter::PrevRow, &NavigateEventFilter::PrevTab},       // Up
    {0xff54, &NavigateEventFilter::NextRow, &NavigateEventFilter::NextTab},       // Down
    {0xffff, &NavigateEventFilter::DeleteQelt, &NavigateEventFilter::DeleteQelt}, // Delete
    {0xff9f, &NavigateEventFilter::DeleteQelt, &NavigateEventFilter::DeleteQelt}, // keypad Delete
};

constexpr quint16 kShiftOrControl = 1 | 4;

} // namespace

NavigateEventFilter::NavigateEventFilter(QObject* parent) : QObject(parent)
{
    connect(qApp, &QApplication::focusChanged, this, &NavigateEventFilter::OnFocusChanged);
}

void NavigateEventFilter::OnFocusChanged(QWidget*, QWidget* now)
{
    m_editQueryFocused = now && now->objectName() == QLatin1String("edit_query");
}

bool NavigateEventFilter::isQeltViewActive()
{
    const QWidget* active = QApplication::activeWindow();
    return active &&
           active->windowTitle() == QApplication::applicationName() + QStringLiteral(" - Qelt View");
}

bool NavigateEventFilter::nativeEventFilter(const QByteArray& eventType, void* message, long*)
{
    if (eventType != "xcb_generic_event_t" || !isQeltViewActive() || m_editQueryFocused)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 127) != XCB_KEY_PRESS)
        return false;
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    // Looked up at every press: the keyboard mapping may change while the program runs.
    for (const NavigationKey& key : kKeys) {
        if (press->detail != utils::x11KeysymToKeycode(key.keysym, QX11Info::display()))
            continue;
        const auto signal = (press->state & kShiftOrControl) ? key.modified : key.plain;
        (this->*signal)();
        return true;
    }
    return false;
}
