// The service side of the controller: the per-user start, the tick, list downloads and their merge,
// deletions waiting for the service and the queue of edits.

#include "library/QeltsController.h"

#include "api/APIHandler.h"
#include "api/http.h"
#include "core/paths.h"
#include "library/QeltsListDownloader.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace {

// Lets a reply of a former user finish unheard, then go.
void detach(QPointer<QNetworkReply>& reply, QObject* listener)
{
    if (!reply)
        return;
    reply->disconnect(listener);
    QObject::connect(reply.data(), &QNetworkReply::finished, reply.data(), &QObject::deleteLater);
    reply = nullptr;
}

// A refusal of the content itself, which no retry will change; timeouts and rate limits will pass.
bool isContentError(QNetworkReply* reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status > 0)
        return status >= 400 && status < 500 && status != 408 && status != 429;
    const int code = int(reply->error());
    return code > 200 && code < 300;
}

bool isGone(QNetworkReply* reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status == 404 || status == 410;
}

} // namespace

void QeltsController::setUser(const QString& user, const QString& token)
{
    if (!m_qeltsFilePath.isEmpty() && QFile::exists(m_qeltsFilePath))
        QFile::remove(m_qeltsFilePath);
    m_qeltsFilePath.clear();
    if (m_pendingDeletionsKey.isValid())
        m_pendingDeletionsKey.remove();
    if (m_listCursorKey.isValid())
        m_listCursorKey.remove();
    m_pendingDeletionsKey = SettingKey<QVariantList>(QString(), QVariantList());
    m_listCursorKey = SettingKey<QString>(QString(), QString());
    m_listCursor = QDateTime();
    if (m_listDownloader) {
        m_listDownloader->disconnect(this);
        m_listDownloader->deleteLater();
        m_listDownloader = nullptr;
    }
    m_merge.reset();
    m_container.clear();
    m_pendingDeletions.clear();
    // Edits and replies on their way belong to the previous user and token.
    if (!m_editQueue.isEmpty())
        qInfo().noquote()
            << QStringLiteral("[QeltsController] Dropped %1 queued edits").arg(m_editQueue.size());
    m_editQueue.clear();
    m_recentEdits.clear();
    m_lastFailedPatchId.clear();
    stopEditWatchIfIdle();
    detach(m_deleteReply, this);
    detach(m_createReply, this);
    detach(m_patchReply, this);
    detach(m_deleteAllReply, this);
    m_listRunning = false;
    m_token = token;

    if (token.isEmpty()) {
        delete m_syncTimer;
        m_syncTimer = nullptr;
        emit qeltsCountChanged();
        emit syncStateChanged();
        return;
    }
    if (!m_syncTimer) {
        m_syncTimer = new QTimer(this);
        connect(m_syncTimer, &QTimer::timeout, this, &QeltsController::onSyncTimer);
    }
    m_syncTimer->start(m_intervals.tickMs);
    QTimer::singleShot(1, this, &QeltsController::startSync);
    if (m_library) {
        // The tick still retries this controller's edits; the file and the lists are the library's.
        emit qeltsCountChanged();
        emit syncStateChanged();
        return;
    }

    const QString hex = userHex(user);
    // Kept in the settings even without a data folder: a deletion must not come back after a restart.
    m_pendingDeletionsKey = SettingKey<QVariantList>(QStringLiteral("REMV2-") + hex, QVariantList());
    m_listCursorKey = SettingKey<QString>(QStringLiteral("LISTV1-") + hex, QString());
    const QString state = utils::usableStatePath(); // without one the Qelts live in memory only
    const QString fileName = QStringLiteral("qelts-%1.dat").arg(hex);
    if (!state.isEmpty())
        m_qeltsFilePath = state + QLatin1Char('/') + fileName;
    // A folder that cannot be written still shows what it holds; nothing is saved there.
    const QString readable = utils::readableStatePath();
    const QString readPath = !m_qeltsFilePath.isEmpty()
                                 ? m_qeltsFilePath
                                 : (readable.isEmpty() ? QString() : readable + QLatin1Char('/') + fileName);
    QDateTime lastModified;
    if (!readPath.isEmpty() && (QFileInfo::exists(readPath) || QFileInfo(readPath).isSymLink())) {
        QElapsedTimer timer;
        timer.start();
        if (m_container.load(readPath)) {
            lastModified = readListCursor(m_listCursorKey.get());
            // No cursor stored yet: the newest-created Qelt's change, which may pass changes that no
            // list has reported; the stored cursor never does.
            if (!lastModified.isValid() && !m_container.isEmpty())
                lastModified = QDateTime::fromSecsSinceEpoch(m_container.last()->modified_at, Qt::UTC);
        } else {
            keepDamagedFile(readPath);
        }
        if (timer.elapsed() >= 1000)
            APIHandler::log(QStringLiteral("loading %1").arg(timer.elapsed()), QStringLiteral("info"),
                            QString());
    }
    for (const QVariant& id : m_pendingDeletionsKey.get())
        m_pendingDeletions.insert(id.toString());
    // A file saved before a deletion still holds the Qelt; it stays deleted here while its DELETE waits.
    for (const QString& id : m_pendingDeletions) {
        if (const ZorvaneQeltPtr qelt = m_container.find(id))
            m_container.remove(id, qelt->created_at, true);
    }
    m_listCursor = lastModified;

    m_listDownloader = new QeltsListDownloader(token, lastModified);
    m_listDownloader->moveToThread(&m_workerThread);
    const quint64 generation = ++m_listGeneration;
    connect(m_listDownloader, &QeltsListDownloader::qeltsLoaded, this,
            [this, generation](bool succeeded, bool forbidden) {
                if (generation == m_listGeneration)
                    onQeltsLoaded(succeeded, forbidden);
            });
    emit qeltsCountChanged();
    emit syncStateChanged();
}

void QeltsController::keepDamagedFile(const QString& path)
{
    // What was read before the damage stays; the whole list is asked for again, since the stored
    // cursor speaks for Qelts that are now missing.
    m_listCursorKey.remove();
    const QString aside = path == m_qeltsFilePath ? utils::setAside(path) : QString();
    if (aside.isEmpty() && path == m_qeltsFilePath) {
        // Saving now would overwrite the rest of it: this run keeps its Qelts in memory only.
        m_qeltsFilePath.clear();
    }
    qWarning().noquote() << QStringLiteral("[QeltsController] Qelts file cannot be read whole; kept %1 Qelts "
                                           "read before the damage, the rest comes with the next list.")
                                .arg(m_container.count())
                         << (aside.isEmpty() ? QStringLiteral("File left in place:") + QLatin1Char(' ') + path
                                             : QStringLiteral("File kept as:") + QLatin1Char(' ') + aside);
}

QDateTime QeltsController::readListCursor(const QString& stored)
{
    // Written in UTC with a "Z"; anything else read back is no cursor at all.
    const QDateTime cursor = QDateTime::fromString(stored, Qt::ISODate);
    return cursor.isValid() && cursor.timeSpec() == Qt::UTC ? cursor : QDateTime();
}

void QeltsController::storeListCursor()
{
    if (!m_listCursorKey.isValid())
        return;
    if (m_listCursor.isValid())
        m_listCursorKey.set(m_listCursor.toUTC().toString(Qt::ISODate));
    else
        m_listCursorKey.remove();
}

void QeltsController::onSyncTimer()
{
    if (!m_pendingDeletions.empty())
        sendPendingDeletions();
    if (!m_editQueue.isEmpty())
        sendPatches();
    const QDateTime now = QDateTime::currentDateTime();
    bool list = m_lastListTime.msecsTo(now) > m_intervals.hiddenListMs;
    if (m_mainWindow && m_mainWindow->property("visible").toBool() &&
        !m_mainWindow->property("minimized").toBool())
        list = true;
    if (!list)
        return;
    m_lastListTime = now;
    startSync();
}

void QeltsController::startSync()
{
    if (m_listRunning || !m_listDownloader)
        return;
    const QDateTime now = QDateTime::currentDateTime();
    for (auto it = m_recentEdits.begin(); it != m_recentEdits.end();) {
        const qint64 age = it->editedAt.msecsTo(now);
        // An edit from the future means the clock was set back: stop waiting for it too.
        if (age >= m_intervals.editLifetimeMs || age < 0)
            it = m_recentEdits.erase(it);
        else
            ++it;
    }
    stopEditWatchIfIdle();
    if (APIHandler::isNetworkAvailable()) {
        QMetaObject::invokeMethod(m_listDownloader, "start", Qt::QueuedConnection);
        m_listRunning = true;
    }
    emit syncStateChanged();
}

void QeltsController::startEditWatch()
{
    if (m_editWatchTimer || !m_listDownloader)
        return; // without a user nothing is listed, and setUser drops the edits anyway
    m_editWatchTimer = new QTimer(this);
    connect(m_editWatchTimer, &QTimer::timeout, this, &QeltsController::startSync);
    m_editWatchTimer->start(m_intervals.editWatchMs);
}

void QeltsController::stopEditWatchIfIdle()
{
    if (!m_editWatchTimer || !m_recentEdits.isEmpty())
        return;
    m_editWatchTimer->disconnect(this);
    m_editWatchTimer->stop();
    m_editWatchTimer->deleteLater();
    m_editWatchTimer = nullptr;
}

void QeltsController::storePendingDeletions()
{
    if (!m_pendingDeletionsKey.isValid())
        return;
    if (m_pendingDeletions.empty()) {
        m_pendingDeletionsKey.remove();
        return;
    }
    QVariantList ids;
    for (const QString& id : m_pendingDeletions)
        ids.append(id);
    m_pendingDeletionsKey.set(ids);
}

void QeltsController::sendPendingDeletions()
{
    if (m_deleteReply || m_pendingDeletions.empty() || !APIHandler::isNetworkAvailable())
        return;
    emit syncStateChanged();
    const QString id = *m_pendingDeletions.begin();
    qInfo().noquote() << "[QeltsController] try to remove qelt: " << id;
    QNetworkReply* reply = m_networkAccessManager->deleteResource(makeRequest(qeltPath(id), false));
    m_deleteReply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply, id] { onDeleteFinished(reply, id); });
}

void QeltsController::onDeleteFinished(QNetworkReply* reply, const QString& id)
{
    emit syncStateChanged();
    ZorvaneAPI::http::settleReply(*reply);
    if (reply == m_deleteReply)
        m_deleteReply = nullptr;
    const QByteArray body = reply->readAll();
    // Already gone (deleted on the web or by a delete-all) is as good as deleted now; kept pending, the
    // smallest such id would block every later deletion.
    const bool gone = isGone(reply);
    if (reply->error() != QNetworkReply::NoError && !gone) {
        qWarning().noquote() << "[QeltsController] Net error: " << replyDetails(reply, body);
        return;
    }
    if (isRedirect(reply))
        return; // pending still; the next tick asks again
    qInfo().noquote() << (gone ? "[QeltsController] qelt already gone: " : "[QeltsController] qelt removed: ")
                      << id;
    if (m_pendingDeletions.erase(id)) {
        storePendingDeletions();
        if (!m_pendingDeletions.empty())
            QTimer::singleShot(1, this, &QeltsController::sendPendingDeletions);
    }
}

void QeltsController::sendPatches()
{
    if (m_patchReply || m_editQueue.isEmpty() || !APIHandler::isNetworkAvailable())
        return;
    emit syncStateChanged();
    const QeltEdit& edit = m_editQueue.first();
    qInfo().noquote() << "[QeltsController] try to patch qelt: " << edit.id;
    const QJsonObject body{{"text", edit.text}, {"latex", edit.latex}};
    QNetworkReply* reply = m_networkAccessManager->sendCustomRequest(
        makeRequest(qeltPath(edit.id), true), "PATCH", QJsonDocument(body).toJson(QJsonDocument::Indented));
    m_patchReply = reply;
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, id = edit.id] { onPatchFinished(reply, id); });
}

void QeltsController::onPatchFinished(QNetworkReply* reply, const QString& id)
{
    emit syncStateChanged();
    ZorvaneAPI::http::settleReply(*reply);
    if (reply == m_patchReply)
        m_patchReply = nullptr;
    const QByteArray body = reply->readAll();
    if (m_editQueue.isEmpty() || m_editQueue.first().id != id) {
        qWarning().noquote() << "[QeltsController]"
                             << "No updates but got patch request response";
        return;
    }
    if (reply->error() == QNetworkReply::NoError && isRedirect(reply))
        return; // not taken: queued still, sent again by the next tick
    if (reply->error() == QNetworkReply::NoError) {
        m_lastFailedPatchId.clear();
        APIHandler::log(QStringLiteral("qelt patched: %1").arg(id), QStringLiteral("info"), QString());
        qInfo().noquote() << "[QeltsController] qelt patched: " << id;
        m_editQueue.removeFirst();
        if (!m_editQueue.isEmpty())
            QTimer::singleShot(1, this, &QeltsController::sendPatches);
        return;
    }
    qWarning().noquote() << "[QeltsController] Net error: " << replyDetails(reply, body);
    APIHandler::log(reply->errorString(), QStringLiteral("error"), QString());
    if (!isContentError(reply))
        return; // retried by the next tick, without limit
    if (m_lastFailedPatchId == id) {
        m_editQueue.removeFirst();
        qWarning().noquote() << "[QeltsController]"
                             << "Qelt update is skipped. Qelt ID:" << id;
        emit qeltUpdated(id);
    } else {
        m_lastFailedPatchId = id;
    }
}

void QeltsController::onQeltsLoaded(bool succeeded, bool forbidden)
{
    if (!m_listDownloader)
        return;
    if (!succeeded) {
        m_listRunning = false;
        emit syncStateChanged();
        if (forbidden)
            emit receivedForbidden();
        return;
    }
    m_merge = std::make_unique<Merge>();
    m_merge->deletedIds = m_listDownloader->deletedIds();
    m_merge->qelts = m_listDownloader->qelts();
    mergeSome();
}

void QeltsController::mergeSome()
{
    if (!m_merge)
        return;
    Merge& merge = *m_merge;
    QElapsedTimer slice;
    slice.start();
    const auto timeIsUp = [&slice](int done) { return done % 64 == 63 && slice.elapsed() >= kMergeSliceMs; };
    int done = 0;
    while (merge.nextDeleted < merge.deletedIds.size()) {
        const QString& id = merge.deletedIds.at(merge.nextDeleted++);
        if (m_pendingDeletions.count(id) && !m_deleteReply) {
            m_pendingDeletions.erase(id); // the service already deleted it
            merge.pendingChanged = true;
        } else if (const ZorvaneQeltPtr qelt = m_container.find(id)) {
            removeQeltLocally(qelt, false);
            merge.changed = true;
        }
        if (timeIsUp(done++)) {
            m_mergeTimer->start();
            return;
        }
    }
    while (merge.nextQelt < merge.qelts.size()) {
        const ZorvaneQeltPtr& qelt = merge.qelts.at(merge.nextQelt++);
        if (!m_pendingDeletions.count(qelt->id) && addQelt(qelt, false))
            merge.changed = true;
        if (timeIsUp(done++)) {
            m_mergeTimer->start();
            return;
        }
    }
    const bool changed = merge.changed;
    if (merge.pendingChanged)
        storePendingDeletions();
    // The page is in: what the service reported up to here is part of what the next save stores.
    if (m_listDownloader)
        m_listCursor = m_listDownloader->modifiedAfter();
    m_merge.reset();
    m_listRunning = false;
    emit syncStateChanged();
    if (changed)
        emit qeltsCountChanged();
}
