#pragma once

#include "library/gallery/ListItemRecord.h"
#include "model/ZorvaneQelt.h"

#include <QColor>
#include <QGraphicsItem>

#include <functional>
#include <utility>

class QeltsImageController;

// One card of the gallery: the Qelt's picture(s), its age and confidence, and delete and open buttons
// that show on hover. Not a QObject, to keep thousands of cards cheap; it reports through callbacks.
class QeltGraphicsItem : public QGraphicsItem
{
public:
    using Callback = std::function<void(QeltGraphicsItem*)>;
    enum ViewMode { Original = 0, Rendered = 1, Both = 2 };
    static constexpr int kHeaderHeight = 40;

    QeltGraphicsItem(QeltsImageController* images, Callback click, Callback open, Callback remove,
                     const ZorvaneQeltPtr& qelt);
    ~QeltGraphicsItem() override;

    QString qeltId() const { return m_qeltId; }
    void setViewMode(int mode);
    int viewMode() const { return m_viewMode; }
    void setConfidence(double confidence);
    double confidence() const { return m_confidence; }
    void setCreatedAt(qint64 createdAt);
    qint64 createdAt() const { return m_createdAt; }
    void setRenderedRecord(const ListItemRecord& record);
    void setOriginalRecord(const ListItemRecord& record);
    const ListItemRecord& renderedRecord() const { return m_rendered; }
    const ListItemRecord& originalRecord() const { return m_original; }
    void setTargetPos(const QPointF& pos);
    QPointF targetPos() const { return m_targetPos; }
    void setShown(bool shown) { m_shown = shown; }
    bool isShown() const { return m_shown; }
    // Releases both decoded pictures here and in the image cache.
    void unloadImages();

    // The button rectangles in card coordinates, for a card of width `width`.
    static QRect deleteButtonRect(int width);
    static QRect openButtonRect(int width);
    // The age text and its colour; no text and an invalid colour without a creation time.
    static std::pair<QString, QColor> relativeTime(qint64 createdAt, qint64 now);

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

protected:
    void hoverEnterEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;

private:
    void paintButtons(QPainter* painter, int width) const;
    void paintHeader(QPainter* painter, int width) const;
    void paintImages(QPainter* painter, const QRect& area);
    void loadImage(ListItemRecord& record, bool original);
    static void paintPicture(QPainter* painter, const ListItemRecord& record, const QRect& inner,
                             const QImage& placeholder);

    QString m_qeltId;
    qint64 m_createdAt = 0;
    double m_confidence = -1.0;
    bool m_hovered = false;
    bool m_overDeleteButton = false;
    bool m_overOpenButton = false;
    bool m_pressed = false;
    Callback m_click;
    Callback m_remove;
    Callback m_open;
    ListItemRecord m_rendered;
    ListItemRecord m_original;
    QeltsImageController* m_images;
    QPointF m_targetPos;
    bool m_shown = false;
    int m_viewMode = Both;
};
