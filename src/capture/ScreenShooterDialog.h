#pragma once

#include "capture/Screenshot.h"

#include <QDialog>

// The frozen, greyed picture of one screen on which the user drags the region to capture. The overlays
// of all screens hear each other's mouse signals (global positions); the one whose geometry holds the
// press makes the selection.
class ScreenShooterDialog : public QDialog
{
    Q_OBJECT

public:
    ScreenShooterDialog(const Screenshot& screenshot, QWidget* parent);

    // Picture pixels per widget pixel.
    qreal pictureScale() const { return m_devicePixelRatio; }

    // Shows the overlay over its own screen. A Wayland client cannot place its windows: there the overlay
    // asks the compositor for its screen whole instead.
    void showOnItsScreen();

signals:
    // The selected region, or a null pixmap: cancelled, too small, or selected on another overlay.
    void screenshotReady(QPixmap pixmap);
    void mousePressed(QPoint pos);
    void mouseMoved(QPoint pos);
    void mouseReleased(QPoint pos);
    void closed();
    // Once, when the picture has first been painted.
    void drawn();

public slots:
    void mousePressedHandler(QPoint pos);
    void mouseMovedHandler(QPoint pos);
    void mouseReleasedHandler(QPoint pos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void finish(const QPixmap& result);

    QScreen* m_screen = nullptr;
    bool m_placedByCompositor = false;
    QPixmap m_colourPixmap;
    QRect m_targetGeometry; // the screen less its last column and row
    qreal m_devicePixelRatio = 1.0;
    QPixmap m_greyPixmap;
    QPoint m_selectionStart;
    QPoint m_selectionEnd;
    bool m_mousePressedFlag = false;
    bool m_selecting = false;
    bool m_reported = false;
    bool m_drawn = false;
};
