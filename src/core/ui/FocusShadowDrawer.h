#pragma once

#include <QColor>
#include <QGraphicsDropShadowEffect>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace utils {

// Companion of a sign-in field: the field's accent colour and the action for Return or Enter.
// It is handed key events only where its owner installs it as an event filter.
class FocusShadowDrawer : public QObject
{
    Q_OBJECT

public:
    FocusShadowDrawer(QWidget* target, QObject* parent, std::function<void()> callback);
    ~FocusShadowDrawer() override;

    void setColor(const QColor& color);
    QColor currentColor() const { return m_color; }

    bool eventFilter(QObject* watched, QEvent* event) override;

    const QColor defaultColor;

private:
    QPointer<QWidget> m_target;
    QColor m_color;
    QPointer<QGraphicsDropShadowEffect> m_effect;
    std::function<void()> m_callback;
};

} // namespace utils
