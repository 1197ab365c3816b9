// The gallery page's cards: rebuild from the controller, masonry placement, fading removals, and the
// loading and unloading of cards around the visible area.
#include "library/gallery/QeltListFrame.h"

#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "library/gallery/DeletionAnimation.h"
#include "library/gallery/QeltGraphicsItem.h"
#include "library/gallery/SceneRectAnimation.h"
#include "library/imageFiles.h"
#include "ui_QeltListFrame.h"

#include <QGraphicsScene>
#include <QLoggingCategory>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSet>
#include <QStyle>
#include <QTimer>

#include <cmath>

namespace {

double shownConfidence(const ZorvaneQelt& qelt)
{
    return qelt.hasContent() ? qelt.confidence : -1.0;
}

bool fuzzyEqual(double a, double b)
{
    return std::abs(a - b) * 1000000000000.0 <= std::min(std::abs(a), std::abs(b));
}

ListItemRecord recordFor(const QString& url, const ImageEntry& entry)
{
    ListItemRecord record;
    record.key = url;
    record.size = entry.size;
    record.path = entry.file;
    return record;
}

// A record is renewed when its image changed address or the index names another file; a half-known
// file counts as none.
void refreshRecord(const ListItemRecord& current, const QString& url, const ImageEntry& entry,
                   const std::function<void(const ListItemRecord&)>& set)
{
    if (current.key == url && current.path == entry.file)
        return;
    ListItemRecord record;
    record.key = url;
    if (!entry.file.isEmpty() && entry.size.width() > 0 && entry.size.height() > 0) {
        record.size = entry.size;
        record.path = entry.file;
    }
    set(record);
}

} // namespace

QeltGraphicsItem* QeltListFrame::makeCard(QeltsController* controller, const ZorvaneQeltPtr& qelt,
                                          bool searchMode)
{
    auto* card = new QeltGraphicsItem(
        controller->imageController(), [this](QeltGraphicsItem* item) { onItemClicked(item); },
        [this](QeltGraphicsItem* item) { onOpenItemInQeltWeb(item); },
        [this](QeltGraphicsItem* item) { onDeleteItem(item); }, qelt);
    QeltsImageController* images = controller->imageController();
    card->setRenderedRecord(recordFor(
        qelt->renderedImageUrl, images->renderedListImage(qelt->id, qelt->renderedImageUrl, searchMode)));
    card->setOriginalRecord(recordFor(
        qelt->originalImageUrl, images->originalListImage(qelt->id, qelt->originalImageUrl, searchMode)));
    card->setConfidence(shownConfidence(*qelt));
    card->setCreatedAt(qelt->created_at);
    card->setViewMode(m_viewMode);
    return card;
}

void QeltListFrame::refreshCard(QeltGraphicsItem* card, QeltsController* controller,
                                const ZorvaneQeltPtr& qelt, bool searchMode)
{
    if (card->createdAt() != qelt->created_at)
        card->setCreatedAt(qelt->created_at);
    if (!fuzzyEqual(card->confidence(), qelt->confidence))
        card->setConfidence(shownConfidence(*qelt));
    QeltsImageController* images = controller->imageController();
    refreshRecord(card->renderedRecord(), qelt->renderedImageUrl,
                  images->renderedListImage(qelt->id, qelt->renderedImageUrl, searchMode),
                  [card](const ListItemRecord& r) { card->setRenderedRecord(r); });
    refreshRecord(card->originalRecord(), qelt->originalImageUrl,
                  images->originalListImage(qelt->id, qelt->originalImageUrl, searchMode),
                  [card](const ListItemRecord& r) { card->setOriginalRecord(r); });
}

void QeltListFrame::onQeltsChanged()
{
    updateQeltCountLabel();
    // The controller was emptied for the page on its way; its answer rebuilds.
    if (m_searchLoading)
        return;
    if (m_animationTimerId != 0) {
        m_rebuildRequested = true;
        return;
    }
    m_rebuildRequested = false;

    QSet<QString> stale;
    for (auto it = m_cards.cbegin(); it != m_cards.cend(); ++it)
        stale.insert(it.key());
    m_form->stackedView->setCurrentIndex(0);
    QeltsController* controller = m_switch->current();
    const bool searchMode = m_switch->mode() != 0;
    const std::vector<ZorvaneQeltPtr> qelts = controller->allQelts();

    if (searchMode && qelts.empty()) {
        m_form->label->setText(tr("No search results found."));
        m_form->pageFrame->hide();
        m_form->stackedView->setCurrentIndex(1);
    } else {
        m_form->pageFrame->setVisible(searchMode);
        m_form->stackedView->setCurrentIndex(0);
        m_helloLabel->setVisible(qelts.empty());
        m_arrowLabel->setVisible(qelts.empty());
    }
    if (qelts.empty()) {
        for (QeltGraphicsItem* card : qAsConst(m_cards))
            destroyCard(card);
        m_cards.clear();
        updateSceneRect(); // no scroll range left over from the cards that went
        emit cardsLaidOut();
        return;
    }

    std::vector<QeltGraphicsItem*> order;
    order.reserve(qelts.size());
    for (const ZorvaneQeltPtr& qelt : qelts) {
        QeltGraphicsItem* card = m_cards.value(qelt->id);
        if (!card) {
            card = makeCard(controller, qelt, searchMode);
            m_cards.insert(qelt->id, card);
        } else {
            stale.remove(qelt->id);
            refreshCard(card, controller, qelt, searchMode);
        }
        order.push_back(card);
    }

    const int margin = m_form->horizontalLayout_2->contentsMargins().left();
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    galleryCardWidth = (m_form->qelts_view->width() - kColumnGap - margin - scrollBar) / 2;
    placeCards(order);

    if (m_immediateLayout) {
        m_animations.clear();
        m_immediateLayout = false;
        // Nothing fades in a layout made from scratch: cards of Qelts that went meanwhile just go.
        for (const QString& id : qAsConst(stale))
            destroyCard(m_cards.take(id));
    } else {
        startDeletions(stale.values());
    }
    updateSceneRect();
    unloadNotVisibleItems();
    emit cardsLaidOut();
}

void QeltListFrame::placeCards(const std::vector<QeltGraphicsItem*>& order)
{
    const int width = galleryCardWidth.load();
    qreal left = 0;
    qreal right = 0;
    // The controller lists oldest first; the newest card goes to the top.
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        QeltGraphicsItem* card = *it;
        const qreal height = card->boundingRect().height();
        if (right < left) {
            card->setTargetPos(QPointF(width + kColumnGap, right));
            right += height + kColumnGap;
        } else {
            card->setTargetPos(QPointF(0, left));
            left += height + kColumnGap;
        }
    }
}

void QeltListFrame::startDeletions(const QList<QString>& stale)
{
    for (const QString& id : stale)
        m_animations.add(std::make_unique<DeletionAnimation>(
            m_cards.value(id), [this](QeltGraphicsItem* card) { removeItem(card); }));
    if (m_animations.isEmpty())
        return;
    m_animations.add(std::make_unique<SceneRectAnimation>([this] { updateSceneRect(); }));
    m_animationTimerId = startTimer(AnimationSet::kTickMs, Qt::CoarseTimer);
}

void QeltListFrame::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_animationTimerId || m_animationTimerId == 0) {
        QFrame::timerEvent(event);
        return;
    }
    if (m_animations.isEmpty() || m_animations.frame() == AnimationSet::kTicks - 1) {
        killTimer(m_animationTimerId);
        m_animationTimerId = 0;
    }
    if (!m_animations.tick())
        return;
    if (m_rebuildRequested)
        QTimer::singleShot(1, this, &QeltListFrame::onQeltsChanged);
}

void QeltListFrame::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    m_immediateLayout = true;
    // A drag of the window edge resizes many times: the layout runs once for them all.
    if (m_relayoutPending)
        return;
    m_relayoutPending = true;
    QTimer::singleShot(1, this, [this] {
        m_relayoutPending = false;
        onQeltsChanged();
        m_form->qelts_view->viewport()->update();
    });
}

void QeltListFrame::showEvent(QShowEvent* event)
{
    QFrame::showEvent(event);
    // Cards made while another page was shown are placed but not yet in the scene.
    unloadNotVisibleItems();
}

void QeltListFrame::onImageForListDownloaded()
{
    if (m_animationTimerId == 0)
        QTimer::singleShot(1, this, &QeltListFrame::onQeltsChanged);
    else
        m_rebuildRequested = true;
}

void QeltListFrame::onImageUnreadable(const QString& qeltId, const QString& path)
{
    bool forgotten = false;
    for (QeltsController* controller : {m_switch->first(), m_switch->second()})
        forgotten = controller->imageController()->forgetUnreadableFile(qeltId, path) || forgotten;
    // The card lets the file go and shows the new one once it is downloaded.
    if (forgotten)
        onImageForListDownloaded();
}

void QeltListFrame::removeItem(QeltGraphicsItem* item)
{
    const QString id = item->qeltId();
    QeltGraphicsItem* card = m_cards.value(id);
    if (!card) {
        qCritical() << "[QeltListFrame] Invalid item id";
        return;
    }
    destroyCard(m_cards.take(id));
}

void QeltListFrame::destroyCard(QeltGraphicsItem* card)
{
    if (card && card->scene())
        card->scene()->removeItem(card);
    delete card;
}

void QeltListFrame::updateSceneRect()
{
    QeltsView* view = m_form->qelts_view;
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QRectF rect(0, 0, view->width() - scrollBar, view->height());
    for (const QeltGraphicsItem* card : qAsConst(m_cards))
        rect |= card->boundingRect().translated(card->targetPos());
    view->setSceneRect(rect);
}

void QeltListFrame::unloadNotVisibleItems()
{
    if (!isVisible() || m_cards.isEmpty())
        return;
    QeltsView* view = m_form->qelts_view;
    const QRect viewport(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value(),
                         view->viewport()->width(), view->viewport()->height());
    const QRect visible = view->transform().inverted().mapRect(viewport);
    for (QeltGraphicsItem* card : qAsConst(m_cards)) {
        const QRect placed = card->boundingRect().toRect().translated(card->targetPos().toPoint());
        bool near = placed.intersects(visible);
        if (!near) {
            const QRect both = placed | visible;
            const int gap = std::max(both.width() - visible.width() - placed.width(),
                                     both.height() - visible.height() - placed.height());
            near = gap <= visible.height();
        }
        if (near) {
            if (!card->isShown()) {
                m_scene->addItem(card);
                card->setShown(true);
                card->setPos(card->targetPos());
            }
        } else if (card->isShown()) {
            m_scene->removeItem(card);
            card->setShown(false);
            card->unloadImages();
        }
    }
}
