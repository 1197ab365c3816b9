#include "capture/ScreenShooterDialog.h"

#include "capture/captureGeometry.h"
#include "core/identity.h"

#include <QCloseEvent>
#include <QDebug>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

ScreenShooterDialog::ScreenShooterDialog(const Screenshot& screenshot, QWidget* parent)
    : QDialog(parent, Qt::Popup | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint),
      screen(screenshot.screen), colourPixmap(screenshot.pixmap),
      targetGeometry(screenshot.geometry.adjusted(0, 0, -1, -1))
{
    setWindowIcon(utils::appIcon());
    setWindowTitle(QCoreApplication::applicationName());
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);

    greyPixmap = QPixmap::fromImage(utils::capture::greyImage(colourPixmap.toImage()));
    // Measured rather than taken from the screen: pictures cut from a desktop image come in logical
    // pixels, direct grabs in device pixels.
    devicePixelRatio = utils::capture::pictureScale(colourPixmap.size(), screenshot.geometry,
                                                    screen ? screen->devicePixelRatio() : 1.0);

    resize(targetGeometry.size());
    move(targetGeometry.topLeft());
    setCursor(Qt::CrossCursor);
}

void ScreenShooterDialog::mousePressEvent(QMouseEvent* event)
{
    qInfo() << "[ScreenShooterDialog] Mouse pressed";
    if (event->button() != Qt::LeftButton)
        return;
    mousePressedFlag = true;
    emit mousePressed(event->globalPos());
}

void ScreenShooterDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (mousePressedFlag)
        emit mouseMoved(event->globalPos());
}

void ScreenShooterDialog::mouseReleaseEvent(QMouseEvent* event)
{
    qInfo() << "[ScreenShooterDialog] Mouse released";
    if (!mousePressedFlag)
        return;
    mousePressedFlag = false;
    emit mouseReleased(event->globalPos());
}

void ScreenShooterDialog::mousePressedHandler(QPoint pos)
{
    if (!QWidget::geometry().contains(pos))
        return;
    selecting = true;
    selectionStart = selectionEnd = mapFromGlobal(pos);
    update();
}

void ScreenShooterDialog::mouseMovedHandler(QPoint pos)
{
    if (!selecting)
        return;
    selectionEnd = mapFromGlobal(pos);
    update();
}

void ScreenShooterDialog::mouseReleasedHandler(QPoint pos)
{
    QPixmap result;
    if (selecting) {
        selectionEnd = mapFromGlobal(pos);
        const QRect selection =
            utils::capture::selectionInPicture(selectionStart, selectionEnd, devicePixelRatio);
        result = utils::capture::cropSelection(colourPixmap, selection);
    }
    selecting = false;
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
    if (reported)
        return;
    reported = true;
    emit screenshotReady(result);
    close();
}

void ScreenShooterDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // Drawn by widget size, whatever the pixel ratio of the picture.
    const QRectF target(0, 0, colourPixmap.width() / devicePixelRatio,
                        colourPixmap.height() / devicePixelRatio);
    if (!target.contains(QRectF(rect())))
        painter.fillRect(rect(), Qt::black);
    painter.drawPixmap(target, greyPixmap, QRectF(greyPixmap.rect()));
    if (!selecting)
        return;
    const QRect selection = QRect(selectionStart, selectionEnd).normalized();
    painter.setClipRect(selection.adjusted(-1, -1, 1, 1));
    painter.drawPixmap(target, colourPixmap, QRectF(colourPixmap.rect()));
    painter.setClipping(false);
    painter.setPen(QPen(Qt::red, 1, Qt::SolidLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(selection);
}

void ScreenShooterDialog::moveEvent(QMoveEvent* event)
{
    if (event->pos() != targetGeometry.topLeft())
        move(targetGeometry.topLeft());
}

void ScreenShooterDialog::resizeEvent(QResizeEvent* event)
{
    if (event->size() != targetGeometry.size())
        resize(targetGeometry.size());
}

void ScreenShooterDialog::closeEvent(QCloseEvent* event)
{
    emit closed();
    event->accept();
}
