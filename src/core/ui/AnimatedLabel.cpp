#include "core/ui/AnimatedLabel.h"

AnimatedLabel::AnimatedLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    updateStyle();
}

void AnimatedLabel::setColor(const QColor& color)
{
    m_color = color;
    updateStyle();
}

void AnimatedLabel::setBackgroundColor(const QColor& color)
{
    m_backgroundColor = color;
    updateStyle();
}

void AnimatedLabel::setBorderColor(const QColor& color)
{
    m_borderColor = color;
    updateStyle();
}

void AnimatedLabel::setBorderWidth(int width)
{
    m_borderWidth = width;
    updateStyle();
}

void AnimatedLabel::setFontSize(int size)
{
    m_fontSize = size;
    updateStyle();
}

void AnimatedLabel::setFontWeight(int weight)
{
    m_fontWeight = weight;
    updateStyle();
}

void AnimatedLabel::updateStyle()
{
    setStyleSheet(QStringLiteral("QLabel {  background-color: %1;  border: %2px solid %3;  color: %4;  "
                                 "font-size: %5px;  font-weight: %6;}")
                      .arg(m_backgroundColor.name())
                      .arg(m_borderWidth)
                      .arg(m_borderColor.name())
                      .arg(m_color.name())
                      .arg(m_fontSize)
                      .arg(m_fontWeight));
}
