#pragma once

#include "authoring/StrokeModel.h"

#include <QGraphicsView>
#include <QList>
#include <QPointer>

class QGraphicsPathItem;

// The drawing surface of the handwriting pad: the strokes of its model on paper with dots, lines or
// squares, drawn with the mouse or a tablet pen. Scene coordinates are the viewport's pixels, so what
// the model keeps is what the user sees.
class HandwriteView : public QGraphicsView
{
    Q_OBJECT

public:
    enum Background { Dots = 0, VerticalLines = 1, Grid = 2 };

    explicit HandwriteView(QWidget* parent = nullptr);
    ~HandwriteView() override;

    void setModel(StrokeModel* model);
    StrokeModel* model() const { return m_model; }

    // Any other value than the three backgrounds gives dots.
    void setBackgroundKind(int kind);
    int backgroundKind() const { return m_background; }

    // While input is off the strokes are dimmed and the pointer draws nothing.
    void setInputEnabled(bool enabled);
    bool isInputEnabled() const { return m_inputEnabled; }

    // The finished strokes' items, in drawing order, and the items of the stroke under way.
    QList<QGraphicsPathItem*> strokeItems() const { return m_items; }
    QList<QGraphicsPathItem*> currentItems() const { return m_currentItems; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void tabletEvent(QTabletEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuildStrokes();
    void appendStroke();
    void updateCurrentStroke();
    QPointF scenePoint(const QPointF& viewportPos) const;

    QPointer<StrokeModel> m_model;
    QList<QGraphicsPathItem*> m_items;
    // The stroke under way in pieces of a few points: a new point redraws only the last piece, so a
    // long stroke costs no more per point than a short one.
    QList<QGraphicsPathItem*> m_currentItems;
    int m_currentPoints = 0; // of the model's stroke under way that the pieces already draw
    int m_pieceStart = 0;    // the first point of the last piece
    int m_background = Dots;
    bool m_inputEnabled = true;
};
