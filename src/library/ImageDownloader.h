#pragma once

#include "library/DownloadedImageInfo.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QString>

#include <atomic>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Fetches the Qelts' images and writes them as PNG files: a copy sized for the gallery card and, when
// asked, the full-size image. Lives in its controller's worker thread; every request stays pending
// until it succeeds. A failing address is retried later and later, so that a few dead addresses never
// hold up the others; one the host says is gone (403, 404, 410) is dropped.
class ImageDownloader : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxInFlight = 24;
    static constexpr int kFirstRetryMs = 3000;
    static constexpr int kMaxRetryMs = 300000;
    // While the network is down, how often to look again.
    static constexpr int kNetworkPollMs = 1000;

    explicit ImageDownloader(QObject* parent = nullptr);
    ~ImageDownloader() override;

    // Requests in flight, waiting for a retry, or not yet sent. Any thread.
    bool isSyncing() const;
    int inFlightCount() const { return m_inFlight; }
    int pendingCount() const;

    // Tests only: the first delay after a failure, doubled at each further failure up to maxMs.
    void setRetryDelaysForTesting(int firstMs, int maxMs);

signals:
    void downloadFinished(QString qeltId, QString url, DownloadedImageInfoList images);
    void syncStateChanged();

public slots:
    void download(QString qeltId, QString url, bool saveAdditional);

private:
    using Key = QPair<QString, QString>; // Qelt id, URL
    struct Request
    {
        bool saveAdditional = false;
        bool sending = false;
        int failures = 0;
        qint64 notBefore = 0; // on m_clock
    };

    void sendDue();
    void onReply(QNetworkReply* reply, const Key& key);
    void failed(const Key& key, bool drop);
    void scheduleRetry();

    QNetworkAccessManager* m_networkManager = nullptr;
    mutable QMutex m_mutex;
    QHash<Key, Request> m_pending;
    QTimer* m_retryTimer = nullptr;
    std::atomic<int> m_inFlight{0};
    QElapsedTimer m_clock;
    int m_firstRetryMs = kFirstRetryMs;
    int m_maxRetryMs = kMaxRetryMs;
};
