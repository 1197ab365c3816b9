#pragma once

#include <QObject>
#include <QPoint>

#include <optional>

class QMouseEvent;
class QWidget;

// Lets the user drag a frameless window with the left button. It only watches: every event still
// reaches the window and its children.
class MouseDragging : public QObject
{
    Q_OBJECT

public:
    explicit MouseDragging(QWidget* window);
    ~MouseDragging() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onMousePress(QMouseEvent* event);
    void onMouseMove(QMouseEvent* event);
    void onMouseRelease(QMouseEvent* event);

    // Both empty while no drag is under way.
    std::optional<QPoint> m_windowStartPos;
    std::optional<QPoint> m_pressPos;
    QWidget* m_window = nullptr;
};
