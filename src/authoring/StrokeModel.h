#pragma once

#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QVector>

using Stroke = QVector<QPointF>;
using Strokes = QVector<Stroke>;

// The drawing on the handwriting pad: finished strokes in the order they were drawn, the stroke under
// way, and the undo history. The pen adds a stroke; the eraser removes whole strokes that it passes
// over, while it moves. Points are in the pad's pixels, as the recognition request takes them.
class StrokeModel : public QObject
{
    Q_OBJECT

public:
    enum class Tool { Pen, Eraser };

    // How close the eraser must pass to a stroke to take it.
    static constexpr double kEraserRadius = 8.0;

    explicit StrokeModel(QObject* parent = nullptr);

    Tool tool() const { return m_tool; }
    // Ends any stroke under way first.
    void setTool(Tool tool);

    // One pointer gesture. Points that are not finite are dropped, as is one equal to the last.
    void press(const QPointF& point);
    void move(const QPointF& point);
    void release();

    const Strokes& strokes() const { return m_strokes; }
    int pointCount() const { return m_pointCount; }
    bool isEmpty() const { return m_strokes.isEmpty(); }
    // The pen's stroke under way; empty while the eraser moves or nothing is pressed.
    const Stroke& currentStroke() const { return m_current; }
    bool isPressed() const { return m_pressed; }

    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canRedo() const { return !m_redo.isEmpty(); }
    void undo();
    void redo();
    // Removes every stroke as one step that can be undone.
    void eraseAll();
    // A fresh pad: no strokes and no history.
    void reset();

signals:
    // The finished strokes changed (erased, undone, redone, reset)...
    void strokesChanged();
    // ...or one stroke was put after the others, and nothing else changed.
    void strokeAppended();
    // The pen's stroke under way grew by a point, began or ended.
    void currentStrokeChanged();
    void historyChanged();

private:
    // One undoable step: strokes taken out at their indices, and strokes put in at theirs.
    struct Step
    {
        QVector<QPair<int, Stroke>> removed;
        QVector<QPair<int, Stroke>> added;
    };

    bool accept(const QPointF& point) const;
    void eraseAlong(const QPointF& from, const QPointF& to);
    void apply(const Step& step, bool forward);
    void record(Step step);
    void recount();

    Tool m_tool = Tool::Pen;
    Strokes m_strokes;
    QVector<QRectF> m_bounds; // of each stroke, for the eraser's first test
    int m_pointCount = 0;
    Stroke m_current;
    bool m_pressed = false;
    QPointF m_last; // the last accepted point of the gesture
    Step m_erasing; // what the eraser took during the gesture under way
    QVector<Step> m_undo, m_redo;
};
