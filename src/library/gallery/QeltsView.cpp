#include "library/gallery/QeltsView.h"

QeltsView::QeltsView(QWidget* parent) : QGraphicsView(parent) {}

void QeltsView::scrollContentsBy(int dx, int dy)
{
    QGraphicsView::scrollContentsBy(dx, dy);
    emit PositionChanged();
}
