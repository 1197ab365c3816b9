#pragma once

#include "model/ZorvaneQelt.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

class QNetworkAccessManager;
class QNetworkReply;

// Fetches the Qelts that changed on the service since the last fetch, with the ids deleted there, and
// hands them to its controller. Lives in the controller's worker thread with a network manager of its
// own, made there, so that large pages are downloaded and parsed off the GUI thread.
class QeltsListDownloader : public QObject
{
    Q_OBJECT

public:
    // One list answer as read: the usable elements, and whether all of them were.
    struct Page
    {
        bool isObject = false;
        QList<ZorvaneQeltPtr> qelts;
        QStringList deletedIds;
        QDateTime newest; // the latest "modified_at" among the usable elements
        int processed = 0;
        int size = 0;
    };

    static constexpr int kLoggedBodyLimit = 500;

    QeltsListDownloader(const QString& token, const QDateTime& lastModified);
    ~QeltsListDownloader() override;

    // The last page's lists; the controller reads them on its own thread after qeltsLoaded.
    QStringList deletedIds() const;
    QList<ZorvaneQeltPtr> qelts() const;
    // The "modified_after" of the next request; null asks for the whole list.
    QDateTime modifiedAfter() const;

    bool parseList(const QByteArray& body);
    // Reads a list answer; touches nothing, so that any thread (and the fuzzer) may call it.
    static Page readPage(const QByteArray& body);

    Q_INVOKABLE void start();

signals:
    void qeltsLoaded(bool succeeded, bool forbidden);

private slots:
    void replyFinished(QNetworkReply* reply);

private:
    void handleReply(QNetworkReply* reply);

    const QString m_token;
    QDateTime m_modifiedAfter;
    QNetworkAccessManager* m_networkAccessManager = nullptr;
    QNetworkReply* m_currentReply = nullptr;
    mutable QMutex m_mutex; // the page lists and the cursor cross to the GUI thread
    QStringList m_deletedIds;
    QList<ZorvaneQeltPtr> m_qelts;
};
