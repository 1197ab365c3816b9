#pragma once

#include "library/gallery/AnimationSet.h"
#include "model/ZorvaneQelt.h"

#include <QFrame>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>
#include <vector>

class QGraphicsScene;
class QLabel;
class QeltControllerSwitch;
class QeltGraphicsItem;
class QeltsController;
namespace Ui {
class QeltListFrame;
}

// The gallery page: the current controller's Qelts as cards in two masonry columns, of which only those
// near the visible area sit in the scene and hold images; search on the service with paged results;
// the image mode of all cards; deletion of one Qelt or all.
class QeltListFrame : public QFrame
{
    Q_OBJECT

public:
    static constexpr int kSearchPageSize = 50;
    static constexpr int kColumnGap = 20;

    // Throws std::runtime_error without a switch.
    QeltListFrame(QWidget* parent, QeltControllerSwitch* controllers);
    ~QeltListFrame() override;

    void setHelloHotkey(const QString& hotkey);
    void setSearchText(const QString& text);
    void refreshSearch();

    const QHash<QString, QeltGraphicsItem*>& cards() const { return m_cards; }
    QGraphicsScene* scene() const { return m_scene; }
    int searchPage() const { return m_searchPage; }

signals:
    void showQelt(QString qeltId);
    void showContextMenu(QPoint pos);
    void makeScreenshot();
    void uploadQelt();
    void createQelt();
    void convertPDF();
    void handwriteQelt();
    // A rebuild has placed the cards (after any animations it started have been set going).
    void cardsLaidOut();
    // A search reply came in for `text`, whether it was still wanted or not.
    void searchReplyArrived(QString text);

public slots:
    void redrawItem(QString qeltId);
    void onSearchBoxTextChanged(QString text);
    void onNextButtonClicked();
    void onPrevButtonClicked();
    void onFirstButtonClicked();
    void onLastButtonClicked();
    void onSettingsButtonClicked();
    void onHomeButtonClicked();
    void onDeleteAllButtonClicked();
    void onDeleteItem(QeltGraphicsItem* item);
    void onOpenItemInQeltWeb(QeltGraphicsItem* item);
    void onImageForListDownloaded();
    // A card's file that does not decode: its record forgets it and the image is downloaded again.
    void onImageUnreadable(const QString& qeltId, const QString& path);
    void onQeltsChanged();
    void unloadNotVisibleItems();
    void updateQeltsView();
    void listViewModeSelected(bool checked);
    void updateQeltCountLabel();
    void onStackedViewCurrentIndexChanged(int index);

protected:
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setupForm();
    void doSearch(const QString& text, bool isUpdating);
    void onSearchResult(const QJsonDocument& reply, const QString& text, quint64 serial);
    void onSearchError(const QJsonObject& error, const QString& text, quint64 serial);
    void updatePageLabel();
    void goToPage(int page);
    void showMessage(const QString& text);
    void onItemClicked(QeltGraphicsItem* item);
    void removeItem(QeltGraphicsItem* item);
    void destroyCard(QeltGraphicsItem* card);
    QeltGraphicsItem* makeCard(QeltsController* controller, const ZorvaneQeltPtr& qelt, bool searchMode);
    void refreshCard(QeltGraphicsItem* card, QeltsController* controller, const ZorvaneQeltPtr& qelt,
                     bool searchMode);
    void placeCards(const std::vector<QeltGraphicsItem*>& order);
    void startDeletions(const QList<QString>& stale);
    void updateSceneRect();
    bool confirm(const QString& text, const QString& yesText);

    std::unique_ptr<Ui::QeltListFrame> m_form;
    QLabel* m_helloLabel = nullptr;
    QLabel* m_arrowLabel = nullptr;
    QGraphicsScene* m_scene = nullptr;
    QHash<QString, QeltGraphicsItem*> m_cards;
    QeltControllerSwitch* m_switch;
    bool m_immediateLayout = true;
    bool m_relayoutPending = false;
    AnimationSet m_animations;
    int m_animationTimerId = 0;
    bool m_rebuildRequested = false;
    QString m_searchQuery;
    int m_searchPage = 0;
    int m_searchPages = 0;
    int m_searchTotal = 0;
    quint64 m_searchSerial = 0;   // of the latest search request
    bool m_searchLoading = false; // a search's answer is awaited: its message stays until it comes
    int m_viewMode = 2;
};
