#pragma once

#include "core/SettingKey.h"
#include "library/QeltsContainer.h"
#include "library/QeltsImageController.h"
#include "model/ZorvaneQelt.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>

#include <memory>
#include <set>
#include <utility>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;
class QTimer;
class QeltsListDownloader;

// An edit waiting for the service to take it.
struct QeltEdit
{
    QString id;
    QString latex;
    QString text;
    QDateTime editedAt;
};

// How often the controller talks to the service. Tests shorten them; the product keeps the defaults.
struct SyncIntervals
{
    int tickMs = 30000;
    int hiddenListMs = 300000;  // with the main window out of sight, list at most this often
    int editWatchMs = 100;      // re-list this soon while an edit waits to be shown
    int editLifetimeMs = 15000; // give up waiting for the service to show an edit
};

// Owns one set of the signed-in user's Qelts (the library, or the last search's results): stores them,
// tells the pages of every change, makes Qelts from typed text on the service, and changes and deletes
// Qelts locally at once and on the service in the background. GUI thread only.
class QeltsController : public QObject
{
    Q_OBJECT

public:
    QeltsController(QObject* parent, QNetworkAccessManager* networkAccessManager);
    ~QeltsController() override;

    // True only when the Qelt was new.
    bool addQelt(const ZorvaneQeltPtr& qelt, bool emitCount, const QPixmap& pixmap = QPixmap());
    void createTextQelt(const QString& content, bool isMarkdown);
    void editQeltLatex(const QString& id, const QString& latex);
    void editQelt(const QString& id, const QString& latex, const QString& text);
    void editQeltText(const QString& id, const QString& text);
    void removeQelt(const QString& id);
    void removeQeltLocally(const ZorvaneQeltPtr& qelt, bool queueDeletion);
    // Removes the Qelt here when held, and deletes it on the service in any case, stored until done.
    void queueDeletion(const QString& id);
    void removeAllQelts();
    void clear();
    void saveToDisk();

    // The user's Qelts file and stored deletions; an empty token signs out (the file is deleted).
    // A controller given a library (the search results') takes only the token, for its own requests.
    void setUser(const QString& user, const QString& token);
    // Makes this controller hold the search results of `library`, which alone keeps the user's file,
    // lists the account's changes and stores the deletions: one made here is queued there.
    void setLibrary(QeltsController* library);
    // A list download of what changed on the service, unless one runs.
    void startSync();
    // The periodic tick: pending deletions and edits, and a list download when it is due.
    void onSyncTimer();

    qint64 count() const { return m_container.count(); }
    bool isEmpty() const { return m_container.isEmpty(); }
    bool isSyncing() const;
    ZorvaneQeltPtr firstQelt() const { return m_container.first(); }
    ZorvaneQeltPtr lastQelt() const { return m_container.last(); }
    ZorvaneQeltPtr nextQelt(const ZorvaneQeltPtr& qelt) const { return m_container.next(qelt); }
    ZorvaneQeltPtr previousQelt(const ZorvaneQeltPtr& qelt) const { return m_container.previous(qelt); }
    ZorvaneQeltPtr qeltById(const QString& id) const { return m_container.find(id); }
    std::vector<ZorvaneQeltPtr> allQelts() const { return m_container.all(); }
    std::pair<int, int> indexOf(const QString& id, qint64 createdAt) const
    {
        return m_container.indexOf(id, createdAt);
    }
    // What to show: the latest edit not yet shown by the service wins over the Qelt's own content.
    QString latexOf(const ZorvaneQeltPtr& qelt) const;
    QString textOf(const ZorvaneQeltPtr& qelt) const;

    // The window whose visibility decides how often the tick lists. Read through its "visible" and
    // "minimized" properties, which keeps this library free of widgets.
    void setMainWindow(QObject* mainWindow) { m_mainWindow = mainWindow; }
    QeltsImageController* imageController() { return &m_imageController; }
    QString qeltsFilePath() const { return m_qeltsFilePath; }
    std::set<QString> pendingDeletions() const { return m_pendingDeletions; }
    QList<QeltEdit> editQueue() const { return m_editQueue; }
    // A list download runs or its page is being merged.
    bool isListing() const { return m_listRunning; }
    // Lists again and again while an edit waits for the service to show it.
    bool isWatchingEdits() const { return m_editWatchTimer != nullptr; }

    void setSyncIntervalsForTesting(const SyncIntervals& intervals) { m_intervals = intervals; }

    // The upper-case hex of the UTF-8 bytes of the signed-in e-mail address; names the per-user file.
    static QString userHex(const QString& user);
    // The stored list cursor, "modified_after" of the first list after a restart; null when the text
    // is no UTC date-time.
    static QDateTime readListCursor(const QString& stored);

    static constexpr int kMergeSliceMs = 4;

signals:
    void qeltsCountChanged();
    void showCreatedQelt(QString qeltId);
    void qeltUpdated(QString qeltId);
    void qeltRemoved(QString qeltId, QString nextQelt);
    void receivedForbidden();
    void syncStateChanged();
    void failedToRemoveAllQelts();

private:
    QNetworkRequest makeRequest(const QString& path, bool withBody) const;
    static QString qeltPath(const QString& id);
    void queueEdit(const QString& id, const QString& latex, const QString& text);
    void sendPendingDeletions();
    void sendPatches();
    void startEditWatch();
    void stopEditWatchIfIdle();
    void storePendingDeletions();
    void storeListCursor();
    // After a load that stopped at damage: the file goes aside, and the next list asks for everything.
    void keepDamagedFile(const QString& path);
    // A 3xx answer, logged: redirects are not followed, so it is a failure whatever its body says.
    static bool isRedirect(QNetworkReply* reply);
    void onQeltsLoaded(bool succeeded, bool forbidden);
    void mergeSome();
    static QString replyDetails(QNetworkReply* reply, const QByteArray& body);
    void onCreateFinished(QNetworkReply* reply);
    void onDeleteFinished(QNetworkReply* reply, const QString& id);
    void onPatchFinished(QNetworkReply* reply, const QString& id);
    void onDeleteAllFinished(QNetworkReply* reply);
    const QeltEdit* editOf(const QString& id) const;

    QNetworkAccessManager* m_networkAccessManager;
    QPointer<QNetworkReply> m_deleteReply;
    // A create and a PATCH may be in flight together; each handler looks only at its own reply.
    QPointer<QNetworkReply> m_createReply;
    QPointer<QNetworkReply> m_patchReply;
    QPointer<QNetworkReply> m_deleteAllReply;
    QTimer* m_syncTimer = nullptr;
    QTimer* m_editWatchTimer = nullptr;
    QeltsListDownloader* m_listDownloader = nullptr;
    quint64 m_listGeneration = 0; // tells a former downloader's late answer from the current one's
    // A list page is merged a slice at a time, so that a large one never holds up the GUI thread.
    struct Merge
    {
        QStringList deletedIds;
        QList<ZorvaneQeltPtr> qelts;
        int nextDeleted = 0;
        int nextQelt = 0;
        bool changed = false;
        bool pendingChanged = false;
    };
    std::unique_ptr<Merge> m_merge;
    QTimer* m_mergeTimer = nullptr;
    QThread m_workerThread;
    QString m_token;
    QeltsImageController m_imageController;
    QeltsContainer m_container;
    std::set<QString> m_pendingDeletions;
    QList<QeltEdit> m_editQueue;
    QMap<QString, QeltEdit> m_recentEdits;
    QString m_lastFailedPatchId;
    QString m_qeltsFilePath;
    SettingKey<QVariantList> m_pendingDeletionsKey{QString(), QVariantList()};
    // "LISTV1-" + user hex: the cursor of the last list page merged whole, saved with the Qelts file.
    SettingKey<QString> m_listCursorKey{QString(), QString()};
    QDateTime m_listCursor;
    bool m_listRunning = false;
    QDateTime m_lastListTime;
    QPointer<QObject> m_mainWindow;
    QPointer<QeltsController> m_library;
    SyncIntervals m_intervals;
};
