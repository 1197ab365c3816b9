#pragma once

#include <QColor>
#include <QLabel>

// A label whose colours, border and font are properties, so that QPropertyAnimation can drive them.
// Every change rebuilds the style sheet.
class AnimatedLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor)
    Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor)
    Q_PROPERTY(QColor borderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(int borderWidth READ borderWidth WRITE setBorderWidth)
    Q_PROPERTY(int fontSize READ fontSize WRITE setFontSize)
    Q_PROPERTY(int fontWeight READ fontWeight WRITE setFontWeight)

public:
    explicit AnimatedLabel(const QString& text = QString(), QWidget* parent = nullptr);

    QColor color() const { return m_color; }
    QColor backgroundColor() const { return m_backgroundColor; }
    QColor borderColor() const { return m_borderColor; }
    int borderWidth() const { return m_borderWidth; }
    int fontSize() const { return m_fontSize; }
    int fontWeight() const { return m_fontWeight; }

    void setColor(const QColor& color);
    void setBackgroundColor(const QColor& color);
    void setBorderColor(const QColor& color);
    void setBorderWidth(int width);
    void setFontSize(int size);
    void setFontWeight(int weight);

private:
    void updateStyle();

    QColor m_color = Qt::black;
    QColor m_backgroundColor = Qt::white;
    QColor m_borderColor = Qt::white;
    int m_borderWidth = 1;
    int m_fontSize = 12;
    int m_fontWeight = 600;
};
