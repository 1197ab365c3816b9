#include "authoring/StrokeModel.h"

#include <QLineF>

#include <algorithm>
#include <cmath>

namespace {

double pointToSegment(const QPointF& p, const QPointF& a, const QPointF& b)
{
    const QPointF ab = b - a;
    const double length2 = QPointF::dotProduct(ab, ab);
    const double t = length2 > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / length2, 0.0, 1.0) : 0.0;
    return QLineF(p, a + t * ab).length();
}

double segmentToSegment(const QPointF& a, const QPointF& b, const QPointF& c, const QPointF& d)
{
    QPointF crossing;
    if (a != b && c != d && QLineF(a, b).intersects(QLineF(c, d), &crossing) == QLineF::BoundedIntersection)
        return 0;
    return std::min(
        {pointToSegment(a, c, d), pointToSegment(b, c, d), pointToSegment(c, a, b), pointToSegment(d, a, b)});
}

QRectF boundsOf(const Stroke& stroke)
{
    if (stroke.isEmpty())
        return QRectF();
    double left = stroke.first().x(), right = left, top = stroke.first().y(), bottom = top;
    for (const QPointF& p : stroke) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// Closed bounds: a straight stroke has a rectangle of no width, which QRectF::intersects never meets.
bool overlaps(const QRectF& a, const QRectF& b)
{
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() && b.top() <= a.bottom();
}

} // namespace

StrokeModel::StrokeModel(QObject* parent) : QObject(parent) {}

void StrokeModel::setTool(Tool tool)
{
    release();
    m_tool = tool;
}

bool StrokeModel::accept(const QPointF& point) const
{
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

void StrokeModel::press(const QPointF& point)
{
    release();
    if (!accept(point))
        return;
    m_pressed = true;
    m_last = point;
    if (m_tool == Tool::Pen) {
        m_current = {point};
        emit currentStrokeChanged();
    } else {
        eraseAlong(point, point);
    }
}

void StrokeModel::move(const QPointF& point)
{
    if (!m_pressed || !accept(point) || point == m_last)
        return;
    const QPointF from = m_last;
    m_last = point;
    if (m_tool == Tool::Pen) {
        m_current.append(point);
        emit currentStrokeChanged();
    } else {
        eraseAlong(from, point);
    }
}

void StrokeModel::release()
{
    if (!m_pressed)
        return;
    m_pressed = false;
    if (m_tool == Tool::Pen) {
        Step step;
        step.added.append({int(m_strokes.size()), m_current});
        m_current.clear();
        emit currentStrokeChanged();
        apply(step, true);
        record(step);
    } else if (!m_erasing.removed.isEmpty()) {
        // Already applied while the eraser moved.
        record(std::exchange(m_erasing, Step()));
    }
}

void StrokeModel::eraseAlong(const QPointF& from, const QPointF& to)
{
    const QRectF reach =
        QRectF(from, to).normalized().adjusted(-kEraserRadius, -kEraserRadius, kEraserRadius, kEraserRadius);
    bool erased = false;
    for (int i = m_strokes.size() - 1; i >= 0; --i) {
        if (!overlaps(reach, m_bounds[i]))
            continue;
        const Stroke& stroke = m_strokes[i];
        bool hit = false;
        for (int p = 0; p < stroke.size() && !hit; ++p) {
            const QPointF& a = stroke[p];
            const QPointF& b = stroke[std::min(p + 1, int(stroke.size()) - 1)];
            hit = segmentToSegment(from, to, a, b) <= kEraserRadius;
        }
        if (hit) {
            m_erasing.removed.append({i, stroke});
            m_strokes.removeAt(i);
            m_bounds.removeAt(i);
            erased = true;
        }
    }
    if (erased) {
        recount();
        emit strokesChanged();
    }
}

void StrokeModel::apply(const Step& step, bool forward)
{
    const bool appends = forward && step.removed.isEmpty() && step.added.size() == 1 &&
                         step.added.first().first == m_strokes.size();
    if (forward) {
        for (const auto& [index, stroke] : step.removed)
            m_strokes.removeAt(index);
        for (const auto& [index, stroke] : step.added)
            m_strokes.insert(index, stroke);
    } else {
        for (auto it = step.added.crbegin(); it != step.added.crend(); ++it)
            m_strokes.removeAt(it->first);
        for (auto it = step.removed.crbegin(); it != step.removed.crend(); ++it)
            m_strokes.insert(it->first, it->second);
    }
    if (appends) {
        m_bounds.append(boundsOf(m_strokes.last()));
        m_pointCount += m_strokes.last().size();
        emit strokeAppended();
        return;
    }
    m_bounds.clear();
    m_bounds.reserve(m_strokes.size());
    for (const Stroke& stroke : qAsConst(m_strokes))
        m_bounds.append(boundsOf(stroke));
    recount();
    emit strokesChanged();
}

void StrokeModel::record(Step step)
{
    m_undo.append(std::move(step));
    m_redo.clear();
    emit historyChanged();
}

void StrokeModel::recount()
{
    m_pointCount = 0;
    for (const Stroke& stroke : qAsConst(m_strokes))
        m_pointCount += stroke.size();
}

void StrokeModel::undo()
{
    release();
    if (m_undo.isEmpty())
        return;
    const Step step = m_undo.takeLast();
    apply(step, false);
    m_redo.append(step);
    emit historyChanged();
}

void StrokeModel::redo()
{
    release();
    if (m_redo.isEmpty())
        return;
    const Step step = m_redo.takeLast();
    apply(step, true);
    m_undo.append(step);
    emit historyChanged();
}

void StrokeModel::eraseAll()
{
    release();
    if (m_strokes.isEmpty())
        return;
    Step step;
    for (const Stroke& stroke : qAsConst(m_strokes))
        step.removed.append({0, stroke});
    apply(step, true);
    record(step);
}

void StrokeModel::reset()
{
    const bool hadCurrent = !m_current.isEmpty();
    m_pressed = false;
    m_current.clear();
    m_erasing = Step();
    m_undo.clear();
    m_redo.clear();
    if (hadCurrent)
        emit currentStrokeChanged();
    m_strokes.clear();
    m_bounds.clear();
    m_pointCount = 0;
    emit strokesChanged();
    emit historyChanged();
}
