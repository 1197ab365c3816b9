#include "authoring/pages/HandwriteView.h"

#include "authoring/StrokeModel.h"
#include "core/ui/pens.h"

#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QPainterPath>
#include <QTabletEvent>

namespace {

constexpr int kPiecePoints = 32;
// Qt drops a line to the point it starts from, and a path of one point draws nothing.
constexpr double kDotLength = 0.01;

QPainterPath pathOf(const Stroke& stroke)
{
    QPainterPath path;
    if (stroke.isEmpty())
        return path;
    path.moveTo(stroke.first());
    // A dot is a stroke of one point: a line too short to see, which the square cap shows.
    if (stroke.size() == 1)
        path.lineTo(stroke.first() + QPointF(kDotLength, 0));
    for (int i = 1; i < stroke.size(); ++i)
        path.lineTo(stroke[i]);
    return path;
}

} // namespace

HandwriteView::HandwriteView(QWidget* parent) : QGraphicsView(parent)
{
    setScene(new QGraphicsScene(this));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setRenderHint(QPainter::Antialiasing);
    setTransformationAnchor(QGraphicsView::NoAnchor);
    setViewportUpdateMode(QGraphicsView::SmartViewportUpdate);
    setCursor(Qt::CrossCursor);
    viewport()->setAttribute(Qt::WA_TabletTracking, false);
    setBackgroundKind(Dots);
}

HandwriteView::~HandwriteView() = default;

void HandwriteView::setModel(StrokeModel* model)
{
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (m_model) {
        connect(m_model, &StrokeModel::strokesChanged, this, &HandwriteView::rebuildStrokes);
        connect(m_model, &StrokeModel::strokeAppended, this, &HandwriteView::appendStroke);
        connect(m_model, &StrokeModel::currentStrokeChanged, this, &HandwriteView::updateCurrentStroke);
    }
    rebuildStrokes();
    updateCurrentStroke();
}

void HandwriteView::setBackgroundKind(int kind)
{
    static const char* const kTiles[] = {":/images/drawing/bg-dots.svg", ":/images/drawing/bg-v-lines.svg",
                                         ":/images/drawing/bg-grid.svg"};
    m_background = kind >= Dots && kind <= Grid ? kind : Dots;
    QBrush paper(Qt::white);
    const QPixmap tile(QString::fromLatin1(kTiles[m_background]));
    if (!tile.isNull())
        paper.setTexture(tile);
    setBackgroundBrush(paper);
}

void HandwriteView::setInputEnabled(bool enabled)
{
    if (m_inputEnabled == enabled)
        return;
    m_inputEnabled = enabled;
    if (!enabled && m_model)
        m_model->release();
    for (QGraphicsPathItem* item : qAsConst(m_items))
        item->setPen(enabled ? kDrawPen : kDimmedPen);
}

QPointF HandwriteView::scenePoint(const QPointF& viewportPos) const
{
    return mapToScene(viewportPos.toPoint()) + (viewportPos - viewportPos.toPoint());
}

void HandwriteView::mousePressEvent(QMouseEvent* event)
{
    if (!m_model || !m_inputEnabled || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_model->press(scenePoint(event->localPos()));
    event->accept();
}

void HandwriteView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_model || !m_inputEnabled || !(event->buttons() & Qt::LeftButton)) {
        event->ignore();
        return;
    }
    m_model->move(scenePoint(event->localPos()));
    event->accept();
}

void HandwriteView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_model || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_model->release();
    event->accept();
}

// A pen's own events, with their finer positions; accepted, so that no mouse event follows them.
void HandwriteView::tabletEvent(QTabletEvent* event)
{
    if (!m_model || !m_inputEnabled) {
        event->ignore();
        return;
    }
    const QPointF point = scenePoint(event->posF());
    switch (event->type()) {
    case QEvent::TabletPress:
        m_model->press(point);
        break;
    case QEvent::TabletMove:
        if (event->buttons() & Qt::LeftButton)
            m_model->move(point);
        break;
    case QEvent::TabletRelease:
        m_model->release();
        break;
    default:
        event->ignore();
        return;
    }
    event->accept();
}

void HandwriteView::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    // The paper is the visible area, top left at the scene's origin; strokes off it stay in the model.
    scene()->setSceneRect(QRectF(QPointF(0, 0), viewport()->size()));
}

void HandwriteView::rebuildStrokes()
{
    qDeleteAll(m_items);
    m_items.clear();
    if (!m_model)
        return;
    for (const Stroke& stroke : m_model->strokes())
        m_items.append(scene()->addPath(pathOf(stroke), m_inputEnabled ? kDrawPen : kDimmedPen));
}

void HandwriteView::appendStroke()
{
    if (!m_model || m_model->strokes().size() != m_items.size() + 1) {
        rebuildStrokes();
        return;
    }
    m_items.append(
        scene()->addPath(pathOf(m_model->strokes().last()), m_inputEnabled ? kDrawPen : kDimmedPen));
}

void HandwriteView::updateCurrentStroke()
{
    const Stroke empty;
    const Stroke& stroke = m_model ? m_model->currentStroke() : empty;
    if (stroke.size() < m_currentPoints || stroke.isEmpty()) {
        qDeleteAll(m_currentItems);
        m_currentItems.clear();
        m_currentPoints = 0;
    }
    const QPen& pen = m_model && m_model->tool() == StrokeModel::Tool::Eraser ? kEraserPen : kDrawPen;
    while (m_currentPoints < stroke.size()) {
        // A piece starts at the last point of the one before, so that the pieces join.
        const int first = std::max(0, m_currentPoints - 1);
        if (m_currentItems.isEmpty() || m_currentPoints - m_pieceStart >= kPiecePoints) {
            m_pieceStart = first;
            m_currentItems.append(scene()->addPath(QPainterPath(), pen));
        }
        const int last = std::min(int(stroke.size()), m_pieceStart + kPiecePoints + 1);
        m_currentItems.last()->setPath(pathOf(stroke.mid(m_pieceStart, last - m_pieceStart)));
        m_currentPoints = last;
    }
}
