#pragma once

#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

// Xlib's names collide with Qt's once both are included: they stay in DesktopClient.cpp.
typedef struct _XDisplay Display;

namespace zq::test::e2e {

// A window on the X server as another client sees it.
struct SeenWindow
{
    unsigned long id = 0;
    qint64 pid = 0;
    QString name;
    QString wmClass;
    QStringList types;    // _NET_WM_WINDOW_TYPE, without the prefix: "TOOLTIP", "POPUP_MENU", ...
    QRect rect;           // in root coordinates
    bool topLevel = true; // false: embedded in another program's window (the tray host's)

    bool isType(const char* type) const { return types.contains(QLatin1String(type)); }
};

// Another client of the X server: sees the windows every program has mapped, types and clicks with XTest,
// and reads back what is on the screen. The user, in short.
class DesktopClient
{
public:
    DesktopClient();
    ~DesktopClient();
    DesktopClient(const DesktopClient&) = delete;
    DesktopClient& operator=(const DesktopClient&) = delete;

    bool isOpen() const { return m_display != nullptr; }

    // The viewable windows of the process (by _NET_WM_PID), at any depth of the window tree.
    QVector<SeenWindow> windowsOf(qint64 pid) const;

    // Keys by their X names ("Control_L", "m", "Return", "Down"), pressed in order and released in reverse.
    void pressKeys(const QStringList& keys);
    void moveTo(QPoint at);
    void click(QPoint at, int button);
    void drag(QPoint from, QPoint to);
    // Gives the window the keyboard, as a window manager would on a click; true once the server says so.
    bool focus(unsigned long window);

    // What the screen shows in this rectangle.
    QImage grab(const QRect& rect) const;

private:
    Display* m_display = nullptr;
};

} // namespace zq::test::e2e
