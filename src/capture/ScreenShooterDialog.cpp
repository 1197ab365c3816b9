#include "capture/ScreenShooterDialog.h"

#include "capture/captureGeometry.h"
#include "core/identity.h"

#include <QCloseEvent>
#include <QDebug>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <utility>

namespace {

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// Under Wayland a popup is tied to the window that had the last input, on that window's screen, and
// cannot be full screen: every overlay is a window of its own there.
Qt::WindowFlags overlayFlags()
{
    const Qt::WindowFlags kind = onWayland() ? Qt::Window | Qt::FramelessWindowHint : Qt::Popup;
    return kind | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint;
}

} // namespace

ScreenShooterDialog::ScreenShooterDialog(const Screenshot& screenshot, QWidget* parent)
    : QDialog(parent, overlayFlags()), m_screen(screenshot.screen), m_placedByCompositor(onWayland()),
      m_colourPixmap(screenshot.pixmap), m_targetGeometry(screenshot.geometry.adjusted(0, 0, -1, -1))
{
    setWindowIcon(utils::appIcon());
    setWindowTitle(QCoreApplication::applicationName());
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);

    m_greyPixmap = QPixmap::fromImage(utils::capture::greyImage(m_colourPixmap.toImage()));
    // Measured rather than taken from the screen: pictures cut from a desktop image come in logical
    // pixels, direct grabs in device pixels.
    m_devicePixelRatio = utils::capture::pictureScale(m_colourPixmap.size(), screenshot.geometry,
                                                      m_screen ? m_screen->devicePixelRatio() : 1.0);

    resize(m_targetGeometry.size());
    move(m_targetGeometry.topLeft());
    setCursor(Qt::CrossCursor);
}

void ScreenShooterDialog::showOnItsScreen()
{
    if (m_screen) {
        // The screen goes with the native window, which must exist before it is shown to be placed.
        winId();
        windowHandle()->setScreen(m_screen);
    }
    if (m_placedByCompositor)
        showFullScreen();
    else
        show();
}

void ScreenShooterDialog::mousePressEvent(QMouseEvent* event)
{
    qInfo() << "[ScreenShooterDialog] Mouse pressed";
    if (event->button() != Qt::LeftButton)
        return;
    m_mousePressedFlag = true;
    emit mousePressed(event->globalPos());
}

void ScreenShooterDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (m_mousePressedFlag)
        emit mouseMoved(event->globalPos());
}

void ScreenShooterDialog::mouseReleaseEvent(QMouseEvent* event)
{
    qInfo() << "[ScreenShooterDialog] Mouse released";
    if (!m_mousePressedFlag)
        return;
    m_mousePressedFlag = false;
    emit mouseReleased(event->globalPos());
}

void ScreenShooterDialog::mousePressedHandler(QPoint pos)
{
    if (!QWidget::geometry().contains(pos))
        return;
    m_selecting = true;
    m_selectionStart = m_selectionEnd = mapFromGlobal(pos);
    update();
}

void ScreenShooterDialog::mouseMovedHandler(QPoint pos)
{
    if (!m_selecting)
        return;
    m_selectionEnd = mapFromGlobal(pos);
    update();
}

void ScreenShooterDialog::mouseReleasedHandler(QPoint pos)
{
    QPixmap result;
    if (m_selecting) {
        m_selectionEnd = mapFromGlobal(pos);
        const QRect selection =
            utils::capture::selectionInPicture(m_selectionStart, m_selectionEnd, m_devicePixelRatio);
        result = utils::capture::cropSelection(m_colourPixmap, selection);
    }
    m_selecting = false;
    finish(result);
}

void ScreenShooterDialog::keyPressEvent(QKeyEvent*)
{
    qInfo() << "[ScreenShooterDialog] Key pressed";
    finish(QPixmap());
}

void ScreenShooterDialog::finish(const QPixmap& result)
{
    // A release reaches every overlay once; an overlay already closing must not report twice.
    if (m_reported)
        return;
    m_reported = true;
    emit screenshotReady(result);
    close();
}

void ScreenShooterDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // Drawn by widget size, whatever the pixel ratio of the picture.
    const QRectF target(0, 0, m_colourPixmap.width() / m_devicePixelRatio,
                        m_colourPixmap.height() / m_devicePixelRatio);
    if (!target.contains(QRectF(rect())))
        painter.fillRect(rect(), Qt::black);
    painter.drawPixmap(target, m_greyPixmap, QRectF(m_greyPixmap.rect()));
    if (!std::exchange(m_drawn, true))
        emit drawn();
    if (!m_selecting)
        return;
    const QRect selection = QRect(m_selectionStart, m_selectionEnd).normalized();
    painter.setClipRect(selection.adjusted(-1, -1, 1, 1));
    painter.drawPixmap(target, m_colourPixmap, QRectF(m_colourPixmap.rect()));
    painter.setClipping(false);
    painter.setPen(QPen(Qt::red, 1, Qt::SolidLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(selection);
}

void ScreenShooterDialog::moveEvent(QMoveEvent* event)
{
    if (!m_placedByCompositor && event->pos() != m_targetGeometry.topLeft())
        move(m_targetGeometry.topLeft());
}

void ScreenShooterDialog::resizeEvent(QResizeEvent* event)
{
    if (!m_placedByCompositor && event->size() != m_targetGeometry.size())
        resize(m_targetGeometry.size());
}

void ScreenShooterDialog::closeEvent(QCloseEvent* event)
{
    emit closed();
    event->accept();
}
