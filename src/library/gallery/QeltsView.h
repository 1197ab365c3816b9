#pragma once

#include <QGraphicsView>

// The gallery's view of its cards. It tells when scrolling moved the contents, so that the page can
// load the cards that came near and unload the ones that left.
class QeltsView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit QeltsView(QWidget* parent = nullptr);

signals:
    void PositionChanged();

protected:
    void scrollContentsBy(int dx, int dy) override;
};
