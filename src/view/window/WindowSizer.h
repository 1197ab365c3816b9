#pragma once

#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

// The main window's size bookkeeping: where it starts, the size remembered for the view page and for the
// other pages, fitting a wanted rectangle to the screen, re-centring, following a move to a screen of
// another size, and the gallery's geometry stored for the next start. Owned by the window; GUI thread only.
class WindowSizer
{
public:
    explicit WindowSizer(QWidget* window);

    // The stored gallery geometry when there is a usable one, fitted to the screen that holds it (the
    // window's own when that screen is gone); else the first start's on the window's screen.
    void placeAtStart();

    // Clamps `rect` to the available geometry of the window's screen and applies it; a window as large as
    // the screen is reported to the service's diagnostic log.
    void fitToScreen(QRect rect);
    // The window re-centred to `size` and fitted, unless maximised; returns the re-centred rectangle.
    QRect recentreTo(const QSize& size);

    // Events of the window. `onViewPage`: the view page is current; `onGallery`: the gallery is.
    void resized(const QSize& size, bool onViewPage);
    void moved();
    // A left-button release, or the window hidden: a resize or move has ended.
    void settled(bool onViewPage, bool onGallery);
    // The window came back from maximised to its normal state.
    void restoreFromMaximised(bool onViewPage, bool onGallery);

    // What the view page asks for.
    void changeBy(int deltaWidth, int deltaHeight);
    void adaptToContent(const QSize& oldSize, const QSize& newSize);
    void setFixedSize(int width, int height);
    // The size of a page other than the view page becomes the view page's too (opening such a page).
    void openPage();

    QSize windowSize() const { return m_windowSize; }
    QSize viewPageSize() const { return m_viewPageSize; }

private:
    // The window's screen; before the window system has the window, the screen that holds the most of it,
    // where it will show.
    QScreen* screen() const;
    void fitToScreen(QRect rect, QScreen* screen);
    // Sizes are remembered for the normal state only: a maximised window would make them the screen's.
    bool isNormal() const;
    void fitUnlessMaximised(const QRect& rect);

    QWidget* m_window;
    QSize m_windowSize{-1, -1};
    QSize m_viewPageSize{-1, -1};
    QRect m_screenRect;
    bool m_resized = false;
    bool m_moved = false;
};
