#include "library/ImageDownloader.h"

#include "api/APIHandler.h"
#include "api/http.h"
#include "core/network.h"
#include "library/imageFiles.h"

#include <QDebug>
#include <QImage>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <vector>

ImageDownloader::ImageDownloader(QObject* parent) : QObject(parent)
{
    m_clock.start();
}

ImageDownloader::~ImageDownloader() = default;

bool ImageDownloader::isSyncing() const
{
    QMutexLocker lock(&m_mutex);
    return m_inFlight > 0 || !m_pending.isEmpty();
}

int ImageDownloader::pendingCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_pending.size();
}

void ImageDownloader::setRetryDelaysForTesting(int firstMs, int maxMs)
{
    m_firstRetryMs = firstMs;
    m_maxRetryMs = maxMs;
}

void ImageDownloader::download(QString qeltId, QString url, bool saveAdditional)
{
    if (utils::imagesFolder().isEmpty())
        return; // nowhere to keep it; the folder's fault is logged once
    // The address comes from the service: anything but a web address could read this machine's files.
    const QUrl address(url);
    if ((address.scheme() != QLatin1String("http") && address.scheme() != QLatin1String("https")) ||
        address.host().isEmpty()) {
        qWarning().noquote() << "[ImageDownloader] Not downloading an image from" << address.scheme()
                             << "address of Qelt" << qeltId;
        return;
    }
    if (!m_networkManager) {
        m_networkManager = new QNetworkAccessManager(this);
        m_retryTimer = new QTimer(this);
        m_retryTimer->setSingleShot(true);
        m_retryTimer->setTimerType(Qt::CoarseTimer);
        connect(m_retryTimer, &QTimer::timeout, this, &ImageDownloader::sendDue);
    }
    bool becameBusy = false;
    {
        QMutexLocker lock(&m_mutex);
        const Key key(qeltId, url);
        auto it = m_pending.find(key);
        if (it == m_pending.end()) {
            m_pending.insert(key, Request{saveAdditional});
            becameBusy = m_pending.size() == 1 && m_inFlight == 0;
        } else if (saveAdditional) {
            // Never lowered: whoever asked for the full size still gets it.
            it->saveAdditional = true;
        }
    }
    if (becameBusy)
        emit syncStateChanged();
    sendDue();
}

void ImageDownloader::sendDue()
{
    if (!m_networkManager)
        return;
    if (!APIHandler::isNetworkAvailable()) {
        scheduleRetry();
        return;
    }
    std::vector<Key> due;
    {
        QMutexLocker lock(&m_mutex);
        const qint64 now = m_clock.elapsed();
        for (auto it = m_pending.begin();
             it != m_pending.end() && m_inFlight + int(due.size()) < kMaxInFlight; ++it) {
            if (!it->sending && it->notBefore <= now) {
                it->sending = true;
                due.push_back(it.key());
            }
        }
    }
    for (const Key& key : due) {
        ++m_inFlight;
        QNetworkRequest request{QUrl(key.second)};
        // A stalled download would hold its slot for ever; given up, it is tried again later.
        request.setTransferTimeout(ZorvaneAPI::http::transferLimitMs(ZorvaneAPI::http::Transfer::Call));
        QNetworkReply* reply = m_networkManager->get(request);
        connect(reply, &QNetworkReply::finished, this, [this, reply, key] { onReply(reply, key); });
    }
    scheduleRetry();
}

void ImageDownloader::scheduleRetry()
{
    if (!m_retryTimer)
        return;
    qint64 earliest = -1;
    {
        QMutexLocker lock(&m_mutex);
        for (const Request& request : qAsConst(m_pending)) {
            if (!request.sending && (earliest < 0 || request.notBefore < earliest))
                earliest = request.notBefore;
        }
    }
    if (earliest < 0) {
        m_retryTimer->stop();
        return;
    }
    // Due ones that found no free slot go out as replies come back.
    if (!APIHandler::isNetworkAvailable())
        m_retryTimer->start(kNetworkPollMs);
    else if (earliest > m_clock.elapsed())
        m_retryTimer->start(int(earliest - m_clock.elapsed()));
}

void ImageDownloader::failed(const Key& key, bool drop)
{
    QMutexLocker lock(&m_mutex);
    auto it = m_pending.find(key);
    if (it == m_pending.end())
        return;
    if (drop) {
        m_pending.erase(it);
        return;
    }
    it->sending = false;
    ++it->failures;
    const qint64 delay =
        std::min<qint64>(qint64(m_firstRetryMs) << std::min(it->failures - 1, 20), m_maxRetryMs);
    it->notBefore = m_clock.elapsed() + delay;
}

void ImageDownloader::onReply(QNetworkReply* reply, const Key& key)
{
    --m_inFlight;
    utils::restoreNetworkAccess(reply);
    reply->deleteLater();
    const QByteArray body = reply->readAll();

    DownloadedImageInfoList images;
    if (reply->error() != QNetworkReply::NoError) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool gone = status == 403 || status == 404 || status == 410;
        qWarning().noquote() << "[ImageDownloader] Net error: " << reply->error() << reply->errorString()
                             << body.left(500) << (gone ? "(dropped)" : "");
        failed(key, gone);
    } else {
        const QImage image = QImage::fromData(body);
        bool saveAdditional = false;
        bool stillPending = false;
        if (image.isNull()) {
            qWarning().noquote() << "[ImageDownloader] Failed to load img from data" << key.second;
        } else {
            QMutexLocker lock(&m_mutex);
            auto it = m_pending.find(key);
            stillPending = it != m_pending.end();
            if (stillPending)
                saveAdditional = it->saveAdditional;
        }
        if (!image.isNull() && stillPending) {
            QSize gallerySize(galleryCardWidth.load(), 300);
            const QString galleryPath = utils::saveImage(image, gallerySize);
            QString fullPath;
            QSize fullSize(-1, -1);
            if (!galleryPath.isEmpty() && saveAdditional)
                fullPath = utils::saveImage(image, fullSize);
            if (!galleryPath.isEmpty() && (!saveAdditional || !fullPath.isEmpty())) {
                images.append(
                    DownloadedImageInfo{gallerySize, DownloadedImageInfo::GalleryCopy, galleryPath});
                if (saveAdditional)
                    images.append(DownloadedImageInfo{fullSize, DownloadedImageInfo::FullSize, fullPath});
                QMutexLocker lock(&m_mutex);
                m_pending.remove(key);
            }
        }
        if (images.isEmpty() && (image.isNull() || stillPending))
            failed(key, false);
    }
    if (!images.isEmpty())
        emit downloadFinished(key.first, key.second, images);
    sendDue();
    if (m_inFlight == 0 && (!images.isEmpty() || pendingCount() == 0))
        emit syncStateChanged();
}
