#include "library/QeltsListDownloader.h"

#include "api/APIHandler.h"
#include "api/http.h"
#include "core/crashreporter.h"
#include "core/identity.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <QUrlQuery>

#include <exception>

namespace {

const QString kQelts = QStringLiteral("qelts");
const QString kModifiedAt = QStringLiteral("modified_at");
const QString kModifiedAfter = QStringLiteral("modified_after");
const QString kIncludeDeleted = QStringLiteral("include_deleted");
const QString kId = QStringLiteral("id");
const QString kDeleted = QStringLiteral("deleted");

QString errorName(QNetworkReply::NetworkError code)
{
    const char* key = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(code);
    return key ? QString::fromLatin1(key) : QString::number(int(code));
}

} // namespace

QeltsListDownloader::QeltsListDownloader(const QString& token, const QDateTime& lastModified)
    : m_token(token), m_modifiedAfter(lastModified)
{
}

QeltsListDownloader::~QeltsListDownloader()
{
    if (m_currentReply)
        m_currentReply->deleteLater();
}

QStringList QeltsListDownloader::deletedIds() const
{
    QMutexLocker lock(&m_mutex);
    return m_deletedIds;
}

QList<ZorvaneQeltPtr> QeltsListDownloader::qelts() const
{
    QMutexLocker lock(&m_mutex);
    return m_qelts;
}

QDateTime QeltsListDownloader::modifiedAfter() const
{
    QMutexLocker lock(&m_mutex);
    return m_modifiedAfter;
}

void QeltsListDownloader::start()
{
    if (!m_networkAccessManager) {
        // Made here, in the worker thread: a manager moved between threads after it was made is not
        // reliable.
        m_networkAccessManager = new QNetworkAccessManager(this);
        connect(m_networkAccessManager, &QNetworkAccessManager::finished, this,
                &QeltsListDownloader::replyFinished);
        // Deprecated in 5.15, yet still what tells of a lost network; the aborted reply's finished
        // reports the failure.
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        connect(m_networkAccessManager, &QNetworkAccessManager::networkAccessibleChanged, this,
                [this](QNetworkAccessManager::NetworkAccessibility accessibility) {
                    if (accessibility == QNetworkAccessManager::NotAccessible && m_currentReply)
                        m_currentReply->abort();
                });
        QT_WARNING_POP
    }
    if (QNetworkReply* previous = m_currentReply) {
        m_currentReply = nullptr; // its answer no longer counts
        previous->abort();
    }
    QDateTime after;
    {
        QMutexLocker lock(&m_mutex);
        m_deletedIds.clear();
        m_qelts.clear();
        after = m_modifiedAfter;
    }
    QUrlQuery query;
    query.addQueryItem(kIncludeDeleted, QStringLiteral("true"));
    if (after.isValid()) {
        // In UTC, so that no "+" of an offset reaches the query, where it would read as a space.
        query.addQueryItem(kModifiedAfter, after.toUTC().toString(Qt::ISODate));
    }
    QUrl url(utils::globalGatewayUrl() + QStringLiteral("/v1/qelts"));
    url.setQuery(query);
    m_currentReply = m_networkAccessManager->get(
        ZorvaneAPI::http::authorizedRequest(url.toString(QUrl::FullyEncoded), m_token));
}

void QeltsListDownloader::replyFinished(QNetworkReply* reply)
{
    if (reply != m_currentReply) {
        reply->deleteLater(); // aborted by a later start, which reports for itself
        return;
    }
    try {
        handleReply(reply);
    } catch (const std::exception& exception) {
        utils::reportMessage(QStringLiteral("Exception in QeltsListDownloader::replyFinished: %1")
                                 .arg(QString::fromLocal8Bit(exception.what())));
        if (reply == m_currentReply)
            m_currentReply = nullptr;
        reply->deleteLater();
        emit qeltsLoaded(false, false);
    }
}

void QeltsListDownloader::handleReply(QNetworkReply* reply)
{
    ZorvaneAPI::http::settleReply(*reply);
    const QNetworkReply::NetworkError error = reply->error();
    QByteArray body = reply->readAll();
    bool ok = false;
    bool forbidden = false;
    if (error == QNetworkReply::NoError) {
        // A redirect's body is no page of ours: nothing is merged and the cursor stays.
        ok = !ZorvaneAPI::http::refusesRedirect(
                 reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                 QStringLiteral("QeltsListDownloader")) &&
             parseList(body);
    } else {
        forbidden = error == QNetworkReply::AuthenticationRequiredError;
        if (body.size() > kLoggedBodyLimit) {
            body.truncate(kLoggedBodyLimit);
            body.append("...");
        }
        qWarning().noquote()
            << QStringLiteral("[QeltsListDownloader] Net error (Forbidden: %1):").arg(forbidden ? 1 : 0)
            << errorName(error) << reply->errorString() << QString::fromUtf8(body);
        // Thread-safe: the record is queued here and sent from the GUI thread.
        APIHandler::log(reply->errorString(), QStringLiteral("error"), QString());
    }
    m_currentReply = nullptr;
    emit qeltsLoaded(ok, forbidden);
}

QeltsListDownloader::Page QeltsListDownloader::readPage(const QByteArray& body)
{
    Page page;
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (document.isNull() || document.isEmpty() || !document.isObject())
        return page;
    page.isObject = true;
    const QJsonValue list = document.object().value(kQelts);
    if (!list.isArray())
        return page;
    const QJsonArray elements = list.toArray();
    page.size = elements.size();
    for (const QJsonValue& value : elements) {
        const QJsonObject element = value.toObject();
        const QJsonValue idValue = element.value(kId);
        const QJsonValue modifiedValue = element.value(kModifiedAt);
        if (!value.isObject() || !idValue.isString() || !modifiedValue.isString())
            continue;
        const QDateTime modified = QDateTime::fromString(modifiedValue.toString(), Qt::ISODate);
        if (!modified.isValid())
            continue;
        const QString id = idValue.toString().toLower();
        if (!page.newest.isValid() || page.newest < modified)
            page.newest = modified;
        if (element.value(kDeleted).toBool(false)) {
            page.deletedIds.append(id);
            ++page.processed;
        } else if (ZorvaneQeltPtr qelt = ZorvaneQelt::fromJson(element, id, modified.toSecsSinceEpoch())) {
            page.qelts.append(qelt);
            ++page.processed;
        }
    }
    return page;
}

bool QeltsListDownloader::parseList(const QByteArray& body)
{
    Page page = readPage(body);
    if (!page.isObject) {
        qWarning().noquote() << "[QeltsListDownloader] Failed to parse json: " << QString::fromUtf8(body);
        return false;
    }
    QMutexLocker lock(&m_mutex);
    m_deletedIds = std::move(page.deletedIds);
    m_qelts = std::move(page.qelts);
    if (page.processed != page.size) {
        // The cursor stays, so that the same changes are asked for again.
        qWarning().noquote() << QStringLiteral(
                                    "[QeltsListDownloader] Failed to parse some qelts (processed %1 of %2).")
                                    .arg(page.processed)
                                    .arg(page.size)
                             << "Content: " << QString::fromUtf8(body);
    } else if (page.newest.isValid()) {
        // An empty page keeps the cursor too: nothing changed, and a null cursor would ask for the
        // whole list next time.
        m_modifiedAfter = page.newest;
    }
    return true;
}
