#include "view/window/WindowSizer.h"

#include "api/APIHandler.h"
#include "core/settings.h"
#include "core/ui/screens.h"
#include "core/ui/widgets.h"
#include "view/window/windowGeometry.h"

#include <QDebug>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>

namespace {

QScreen* screenHolding(const QRect& rect)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    QList<QRect> geometries;
    for (const QScreen* screen : screens)
        geometries << screen->geometry();
    return screens.value(windowGeometry::screenHolding(rect, geometries));
}

} // namespace

WindowSizer::WindowSizer(QWidget* window) : m_window(window), m_screenRect(utils::screenGeometry(window)) {}

void WindowSizer::placeAtStart()
{
    const QRect stored = kKeyLastWinSize.get();
    if (kKeyLastWinSize.contains() && windowGeometry::isUsableStoredRect(stored)) {
        m_windowSize = stored.size();
        // The window comes back on the screen it was on, when that screen is still there.
        QScreen* home = screenHolding(stored);
        if (!home)
            home = screen();
        if (home) {
            m_screenRect = home->geometry();
            if (QWindow* handle = m_window->windowHandle())
                handle->setScreen(home);
        }
        fitToScreen(stored, home);
        return;
    }
    if (kKeyLastWinSize.contains())
        qWarning() << "[WindowSizer] Stored window geometry not usable:" << stored;
    const QRect first = windowGeometry::firstRect(m_screenRect);
    m_windowSize = first.size();
    fitToScreen(first);
}

void WindowSizer::fitToScreen(QRect rect)
{
    fitToScreen(rect, screen());
}

QScreen* WindowSizer::screen() const
{
    if (!m_window->windowHandle()) {
        if (QScreen* holding = screenHolding(m_window->geometry()))
            return holding;
    }
    return utils::screenOf(m_window);
}

void WindowSizer::fitToScreen(QRect rect, QScreen* screen)
{
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 0, 0);
    const int top = available.top() + m_window->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    m_window->setGeometry(windowGeometry::fitted(rect, available, top));
    const QSize size = m_window->size();
    if (!windowGeometry::fillsScreen(size, available, top))
        return;
    APIHandler::log(
        QStringLiteral("Latex Window size is bigger than the screen resolution. Window size: %1x%2, "
                       "Screen resolution: %3x%4")
            .arg(size.width())
            .arg(size.height())
            .arg(available.width())
            .arg(available.bottom() + 1 - top),
        QStringLiteral("warn"), QString());
    qWarning() << "[WindowSizer] Latex Window size is bigger than screen resolution";
}

QRect WindowSizer::recentreTo(const QSize& size)
{
    const QRect rect = windowGeometry::recentred(m_window->geometry(), size);
    fitUnlessMaximised(rect);
    return rect;
}

void WindowSizer::resized(const QSize& size, bool onViewPage)
{
    if (!m_moved)
        m_resized = true;
    if (!isNormal())
        return;
    (onViewPage ? m_viewPageSize : m_windowSize) = size;
}

void WindowSizer::moved()
{
    m_moved = true;
}

void WindowSizer::settled(bool onViewPage, bool onGallery)
{
    if (m_resized) {
        if (onGallery && isNormal())
            kKeyLastWinSize.set(m_window->geometry());
        m_resized = false;
    }
    if (!m_moved)
        return;
    const QScreen* now = screen();
    const QRect nowRect = now ? now->geometry() : QRect(0, 0, 0, 0);
    if (nowRect.size() != m_screenRect.size()) {
        m_windowSize = windowGeometry::scaledToScreen(m_windowSize, m_screenRect.size(), nowRect.size());
        m_screenRect = nowRect;
        if (!m_window->isMaximized()) {
            if (onViewPage) {
                if (m_viewPageSize.isValid())
                    m_window->resize(m_viewPageSize);
            } else {
                fitToScreen(windowGeometry::recentred(m_window->geometry(), m_windowSize));
            }
        }
    }
    if (onGallery && isNormal())
        kKeyLastWinSize.set(m_window->geometry());
    m_moved = false;
}

void WindowSizer::restoreFromMaximised(bool onViewPage, bool onGallery)
{
    const QPoint topLeft = m_window->geometry().topLeft();
    if (onGallery && m_windowSize.isValid())
        fitToScreen(QRect(topLeft, m_windowSize));
    else if (onViewPage && m_viewPageSize.isValid())
        fitToScreen(QRect(topLeft, m_viewPageSize));
    else
        fitToScreen(m_window->geometry());
}

void WindowSizer::changeBy(int deltaWidth, int deltaHeight)
{
    const QRect rect = windowGeometry::changedBy(m_window->geometry(), deltaWidth, deltaHeight);
    m_viewPageSize = rect.size();
    fitUnlessMaximised(rect);
}

void WindowSizer::adaptToContent(const QSize& oldSize, const QSize& newSize)
{
    if (newSize.width() <= 0 || newSize.height() <= 0)
        return;
    const QRect rect =
        windowGeometry::adaptedToContent(m_window->geometry(), oldSize, newSize, m_window->minimumWidth());
    m_viewPageSize = rect.size();
    // The page has just changed what it holds its views to: the window's least size follows first, so that
    // the rectangle is not cut to the previous result's.
    utils::settleLayouts(m_window);
    fitUnlessMaximised(rect);
}

void WindowSizer::setFixedSize(int width, int height)
{
    const QSize size = width > 0 && height > 0 ? QSize(width, height) : m_windowSize;
    m_viewPageSize = recentreTo(size).size();
}

void WindowSizer::openPage()
{
    m_viewPageSize = recentreTo(m_windowSize).size();
}

bool WindowSizer::isNormal() const
{
    return !(m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized));
}

void WindowSizer::fitUnlessMaximised(const QRect& rect)
{
    if (!m_window->isMaximized())
        fitToScreen(rect);
}
