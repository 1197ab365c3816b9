#include "dialogs/WrapAnywhereLabel.h"

#include <QPainter>
#include <QStyle>

namespace {

constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextWrapAnywhere;

} // namespace

WrapAnywhereLabel::WrapAnywhereLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

bool WrapAnywhereLabel::hasHeightForWidth() const
{
    return true;
}

int WrapAnywhereLabel::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    const int inner = qMax(1, width - margins.left() - margins.right());
    const int textHeight = fontMetrics().boundingRect(QRect(0, 0, inner, 1 << 20), kFlags, text()).height();
    return qMax(textHeight, fontMetrics().height()) + margins.top() + margins.bottom();
}

// One character and one line: the layout gives the label the width of its row, never the other way
// round, and the height for that width.
QSize WrapAnywhereLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return {fontMetrics().averageCharWidth() + margins.left() + margins.right(),
            fontMetrics().height() + margins.top() + margins.bottom()};
}

QSize WrapAnywhereLabel::sizeHint() const
{
    return minimumSizeHint();
}

void WrapAnywhereLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, contentsRect(), kFlags, palette(), isEnabled(), text(), foregroundRole());
}
