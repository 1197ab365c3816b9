#include "library/gallery/QeltGraphicsItem.h"

#include "core/Palette.h"
#include "core/images.h"
#include "core/ui/widgets.h"
#include "library/ImageCache.h"
#include "library/QeltsImageController.h"
#include "library/imageFiles.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>

#include <cmath>

namespace {

constexpr int kButtonSize = 20;
constexpr int kBarWidth = 35;

const QImage& placeholderImage()
{
    static const QImage image = QImage(QStringLiteral(":/images/new_design/no_image.svg"))
                                    .scaled(100, 100, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

const QImage& openIcon()
{
    static const QImage image =
        QImage(QStringLiteral(":/images/new_design/view_menu_open_16x16.svg"))
            .scaled(kButtonSize - 4, kButtonSize - 4, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

QRegion roundedRegionAt(const QRect& rect, int radius)
{
    return utils::roundedRegion(rect.size(), radius).translated(rect.topLeft());
}

// The cache keeps a picture until its user removes it: a file the card no longer shows is let go here.
void replaceRecord(ListItemRecord& current, const ListItemRecord& record)
{
    if (!current.path.isEmpty() && current.path != record.path)
        ImageCache::instance().remove(current.path);
    current = record;
}

} // namespace

QeltGraphicsItem::QeltGraphicsItem(QeltsImageController* images, Callback click, Callback open,
                                   Callback remove, const ZorvaneQeltPtr& qelt)
    : m_qeltId(qelt ? qelt->id : QString()), m_click(std::move(click)), m_remove(std::move(remove)),
      m_open(std::move(open)), m_images(images)
{
    setAcceptHoverEvents(true);
}

QeltGraphicsItem::~QeltGraphicsItem()
{
    unloadImages();
}

void QeltGraphicsItem::setViewMode(int mode)
{
    if (mode != m_viewMode)
        prepareGeometryChange();
    m_viewMode = mode;
    update();
}

void QeltGraphicsItem::setConfidence(double confidence)
{
    m_confidence = confidence;
    update();
}

void QeltGraphicsItem::setCreatedAt(qint64 createdAt)
{
    m_createdAt = createdAt;
    update();
}

void QeltGraphicsItem::setRenderedRecord(const ListItemRecord& record)
{
    prepareGeometryChange();
    replaceRecord(m_rendered, record);
}

void QeltGraphicsItem::setOriginalRecord(const ListItemRecord& record)
{
    prepareGeometryChange();
    replaceRecord(m_original, record);
}

void QeltGraphicsItem::setTargetPos(const QPointF& pos)
{
    m_targetPos = pos;
    if (m_shown)
        setPos(pos);
}

void QeltGraphicsItem::unloadImages()
{
    for (ListItemRecord* record : {&m_rendered, &m_original}) {
        record->image = QImage();
        if (!record->path.isEmpty())
            ImageCache::instance().remove(record->path);
    }
}

QRect QeltGraphicsItem::deleteButtonRect(int width)
{
    return QRect(width - 30, 10, kButtonSize, kButtonSize);
}

QRect QeltGraphicsItem::openButtonRect(int width)
{
    return QRect(width - 60, 10, kButtonSize, kButtonSize);
}

std::pair<QString, QColor> QeltGraphicsItem::relativeTime(qint64 createdAt, qint64 now)
{
    if (createdAt == 0)
        return {QString(), QColor()};
    const qint64 elapsed = now - createdAt;
    if (elapsed < 60)
        return {QCoreApplication::translate("QeltGraphicsItem", "a moment ago"), Palette::nearBlack};
    static const std::pair<qint64, const char*> units[] = {
        {2592000, "month"}, {604800, "week"}, {86400, "day"}, {3600, "hour"}, {60, "minute"}};
    for (const auto& [seconds, name] : units) {
        const qint64 n = elapsed / seconds;
        if (n != 0) {
            const QString unit = QLatin1String(name) + (n != 1 ? QStringLiteral("s") : QString());
            return {QCoreApplication::translate("QeltGraphicsItem", "%1 %2 ago").arg(n).arg(unit),
                    Palette::grey};
        }
    }
    return {QString(), QColor()}; // not reached: elapsed >= 60 always yields minutes
}

QRectF QeltGraphicsItem::boundingRect() const
{
    const int width = galleryCardWidth.load();
    int height = width / 2;
    if (m_viewMode == Both)
        height *= 2;
    return QRectF(0, 0, width, height + kHeaderHeight);
}

void QeltGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const QRect card = boundingRect().toRect();
    const int width = card.width();
    painter->setRenderHint(QPainter::Antialiasing, true);
    paintImages(painter, QRect(QPoint(0, kHeaderHeight), card.size()));
    paintButtons(painter, width);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(m_hovered ? Palette::blue : Palette::cardBorder);
    painter->drawRoundedRect(card, 12, 12);
    paintHeader(painter, width);
}

void QeltGraphicsItem::paintButtons(QPainter* painter, int width) const
{
    const auto background = [painter](bool over) {
        painter->setPen(over ? QPen(Palette::paleGrey) : QPen(Qt::NoPen));
        painter->setBrush(over ? QBrush(Palette::paleGrey) : QBrush(Qt::NoBrush));
    };
    const QRect deleteRect = deleteButtonRect(width);
    background(m_overDeleteButton);
    painter->drawRoundedRect(deleteRect, 3, 3);
    const QRect cross = deleteRect.adjusted(4, 4, -3, -3);
    painter->setPen(QPen(Palette::grey, 1.3, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter->drawLine(cross.topLeft(), cross.bottomRight());
    painter->drawLine(cross.topRight(), cross.bottomLeft());

    const QRect openRect = openButtonRect(width);
    background(m_overOpenButton);
    painter->drawRoundedRect(openRect, 3, 3);
    painter->drawImage(openRect.adjusted(2, 2, -2, -2), openIcon());
}

void QeltGraphicsItem::paintHeader(QPainter* painter, int width) const
{
    QFont font = QApplication::font();
    font.setPixelSize(16);
    const int fh = QFontMetrics(font).height();
    const auto [text, color] = relativeTime(m_createdAt, QDateTime::currentSecsSinceEpoch());
    if (color.isValid()) {
        painter->setFont(font);
        painter->setPen(color);
        painter->drawText(QPoint(10, fh + 5), text);
    }
    if (m_confidence < 0)
        return;
    const QRect bar(QPoint(width - 105, fh - 3), QPoint(width - 71, fh + 2));
    painter->fillRect(bar, QColor(QStringLiteral("#e8e8ee")));
    QRect filled = bar;
    filled.setRight(bar.right() - int((1.0 - m_confidence) * kBarWidth));
    painter->fillRect(filled, utils::confidenceColor(m_confidence));
    // A thick white rounded outline rounds the bar's corners off.
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter->drawRoundedRect(
        QRectF(QPointF(bar.left() - 3, bar.top() - 3), QPointF(bar.right() + 4, bar.bottom() + 4)), 6, 6);
}

void QeltGraphicsItem::loadImage(ListItemRecord& record, bool original)
{
    if (!record.image.isNull())
        return;
    if (record.path.isEmpty()) {
        if (m_images && original)
            m_images->reloadOriginalImage(m_qeltId);
        else if (m_images)
            m_images->reloadRenderedImage(m_qeltId);
        return;
    }
    // Null while a cache thread reads the file; the gallery repaints this card when it is done.
    record.image = ImageCache::instance().get(record.path, m_qeltId);
}

void QeltGraphicsItem::paintImages(QPainter* painter, const QRect& area)
{
    const bool showOriginal = m_viewMode == Original || m_viewMode == Both;
    const bool showRendered = m_viewMode == Rendered || m_viewMode == Both;
    if (showRendered)
        loadImage(m_rendered, false);
    if (showOriginal)
        loadImage(m_original, true);

    const int half = area.width() / 2;
    const QRect top(area.left(), area.top(), area.width(), half);
    const QRect originalBand = top;
    const QRect renderedBand =
        m_viewMode == Both ? QRect(area.left(), originalBand.bottom() - 1, area.width(), half) : top;

    if (m_rendered.image.isNull() && m_original.image.isNull())
        return;
    if (!m_rendered.isUsable() && !m_original.isUsable())
        return;
    const QImage& placeholder = placeholderImage();

    if (showOriginal) {
        painter->setPen(Palette::cardBorder);
        painter->setBrush(Palette::imageBackground);
        painter->drawRoundedRect(originalBand.adjusted(8, 8, -8, -8), 6, 6);
        const QRect inner = originalBand.adjusted(9, 9, -9, -9);
        painter->setClipRegion(roundedRegionAt(inner, 6));
        paintPicture(painter, m_original, inner, placeholder);
        painter->setClipping(false);
    }
    if (showRendered) {
        const QRect inner = renderedBand.adjusted(8, 8, -8, -8);
        painter->setClipRegion(roundedRegionAt(inner, 6));
        paintPicture(painter, m_rendered, inner, placeholder);
        painter->setClipping(false);
    }
}

void QeltGraphicsItem::paintPicture(QPainter* painter, const ListItemRecord& record, const QRect& inner,
                                    const QImage& placeholder)
{
    if (!record.isUsable() || record.image.isNull()) {
        QRect square(0, 0, 134, 134);
        square.moveCenter(inner.center());
        painter->drawImage(square, placeholder);
        return;
    }
    const QSize fitted = record.image.size().scaled(inner.size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), fitted);
    target.moveCenter(inner.center());
    painter->drawImage(target, record.image);
}

void QeltGraphicsItem::hoverEnterEvent(QGraphicsSceneHoverEvent*)
{
    m_hovered = true;
    update();
}

void QeltGraphicsItem::hoverMoveEvent(QGraphicsSceneHoverEvent* event)
{
    const int width = int(boundingRect().width());
    m_overDeleteButton = deleteButtonRect(width).contains(event->pos().toPoint());
    m_overOpenButton = openButtonRect(width).contains(event->pos().toPoint());
    if (m_overDeleteButton)
        setToolTip(QCoreApplication::translate("QeltGraphicsItem", "Delete qelt"));
    else if (m_overOpenButton)
        setToolTip(QCoreApplication::translate("QeltGraphicsItem", "Open in Qelt Web"));
    else
        setToolTip(QString());
    update();
}

void QeltGraphicsItem::hoverLeaveEvent(QGraphicsSceneHoverEvent*)
{
    m_hovered = false;
    m_overDeleteButton = false;
    m_overOpenButton = false;
    update();
}

void QeltGraphicsItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    event->accept();
    m_pressed = true;
}

void QeltGraphicsItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    event->accept();
    if (!m_pressed)
        return;
    m_pressed = false;
    const QPoint at = event->pos().toPoint();
    if (!boundingRect().contains(event->pos()))
        return;
    const int width = int(boundingRect().width());
    // The callback may destroy this card (a confirmed deletion rebuilds the page): nothing after it.
    if (deleteButtonRect(width).contains(at)) {
        if (m_overDeleteButton && m_remove)
            m_remove(this);
    } else if (openButtonRect(width).contains(at)) {
        if (m_overOpenButton && m_open)
            m_open(this);
    } else if (!m_overDeleteButton && !m_overOpenButton && m_click) {
        m_click(this);
    }
}
