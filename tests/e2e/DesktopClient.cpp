#include "DesktopClient.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <functional>

namespace zq::test::e2e {

namespace {

// Windows come and go while they are looked at: a request about one just gone is no fault of ours.
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

// The property's items, or none when the window lacks it (or is gone).
template <typename Item> QVector<Item> property(Display* display, Window window, const char* name, Atom type)
{
    QVector<Item> items;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom atom = XInternAtom(display, name, False);
    if (XGetWindowProperty(display, window, atom, 0, 4096, False, type, &actualType, &format, &count, &after,
                           &data) == Success &&
        data) {
        if (actualType == type) {
            // 32-bit items come as longs, whatever their size on the wire.
            for (unsigned long i = 0; i < count; ++i) {
                if (format == 32)
                    items.append(Item(reinterpret_cast<unsigned long*>(data)[i]));
                else if (format == 8)
                    items.append(Item(data[i]));
            }
        }
        XFree(data);
    }
    return items;
}

QString text(Display* display, Window window, const char* name, Atom type)
{
    const QVector<unsigned char> bytes = property<unsigned char>(display, window, name, type);
    QByteArray joined;
    for (unsigned char byte : bytes)
        joined.append(char(byte ? byte : ','));
    return QString::fromUtf8(joined);
}

} // namespace

DesktopClient::DesktopClient() : m_display(XOpenDisplay(nullptr))
{
    XSetErrorHandler(ignoreErrors);
}

DesktopClient::~DesktopClient()
{
    if (m_display)
        XCloseDisplay(m_display);
}

QVector<SeenWindow> DesktopClient::windowsOf(qint64 pid) const
{
    QVector<SeenWindow> found;
    if (!m_display)
        return found;
    const Window root = DefaultRootWindow(m_display);
    const Atom utf8 = XInternAtom(m_display, "UTF8_STRING", False);
    const std::function<void(Window, int)> walk = [&](Window window, int depth) {
        Window rootOut = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(m_display, window, &rootOut, &parent, &children, &count))
            return;
        for (unsigned int i = 0; i < count; ++i) {
            const Window child = children[i];
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(m_display, child, &attributes) || attributes.map_state != IsViewable)
                continue;
            const QVector<long> pids = property<long>(m_display, child, "_NET_WM_PID", XA_CARDINAL);
            if (!pids.isEmpty() && pids.first() == pid) {
                SeenWindow seen;
                seen.id = child;
                seen.pid = pid;
                seen.topLevel = depth == 0;
                seen.name = text(m_display, child, "_NET_WM_NAME", utf8);
                seen.wmClass = text(m_display, child, "WM_CLASS", XA_STRING);
                for (Atom type : property<Atom>(m_display, child, "_NET_WM_WINDOW_TYPE", XA_ATOM)) {
                    char* typeName = XGetAtomName(m_display, type);
                    seen.types << QString::fromLatin1(typeName).remove(
                        QStringLiteral("_NET_WM_WINDOW_TYPE_"));
                    XFree(typeName);
                }
                int x = 0, y = 0;
                Window ignored = None;
                XTranslateCoordinates(m_display, child, root, 0, 0, &x, &y, &ignored);
                seen.rect = QRect(x, y, attributes.width, attributes.height);
                found.append(seen);
            }
            walk(child, depth + 1);
        }
        if (children)
            XFree(children);
    };
    walk(root, 0);
    return found;
}

void DesktopClient::pressKeys(const QStringList& keys)
{
    QVector<KeyCode> codes;
    for (const QString& key : keys)
        codes << XKeysymToKeycode(m_display, XStringToKeysym(key.toLatin1().constData()));
    for (KeyCode code : codes)
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
    for (int i = codes.size() - 1; i >= 0; --i)
        XTestFakeKeyEvent(m_display, codes.at(i), False, CurrentTime);
    XSync(m_display, False);
}

void DesktopClient::moveTo(QPoint at)
{
    XTestFakeMotionEvent(m_display, -1, at.x(), at.y(), CurrentTime);
    XSync(m_display, False);
}

void DesktopClient::click(QPoint at, int button)
{
    XTestFakeMotionEvent(m_display, -1, at.x(), at.y(), CurrentTime);
    XTestFakeButtonEvent(m_display, unsigned(button), True, CurrentTime);
    XTestFakeButtonEvent(m_display, unsigned(button), False, CurrentTime);
    XSync(m_display, False);
}

void DesktopClient::drag(QPoint from, QPoint to)
{
    XTestFakeMotionEvent(m_display, -1, from.x(), from.y(), CurrentTime);
    XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
    // A hand moves through the points between.
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) {
        const QPoint at = from + (to - from) * i / kSteps;
        XTestFakeMotionEvent(m_display, -1, at.x(), at.y(), CurrentTime);
    }
    XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
    XSync(m_display, False);
}

bool DesktopClient::focus(unsigned long window)
{
    XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
    XSync(m_display, False);
    Window focused = None;
    int revert = 0;
    XGetInputFocus(m_display, &focused, &revert);
    return focused == window;
}

QImage DesktopClient::grab(const QRect& rect) const
{
    XImage* image = XGetImage(m_display, DefaultRootWindow(m_display), rect.x(), rect.y(),
                              unsigned(rect.width()), unsigned(rect.height()), AllPlanes, ZPixmap);
    if (!image)
        return QImage();
    QImage copy(rect.size(), QImage::Format_RGB32);
    for (int y = 0; y < rect.height(); ++y)
        for (int x = 0; x < rect.width(); ++x)
            copy.setPixel(x, y, QRgb(XGetPixel(image, x, y) & 0xffffff));
    XDestroyImage(image);
    return copy;
}

} // namespace zq::test::e2e
