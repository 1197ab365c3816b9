#include "library/QeltsController.h"

#include "api/APIHandler.h"
#include "api/CreateQeltTiming.h"
#include "api/http.h"
#include "core/ResultFormat.h"
#include "core/identity.h"
#include "core/settings.h"
#include "library/QeltsListDownloader.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

QeltsController::QeltsController(QObject* parent, QNetworkAccessManager* networkAccessManager)
    : QObject(parent), m_networkAccessManager(networkAccessManager), m_imageController(this),
      m_container(&m_imageController), m_lastListTime(QDateTime::currentDateTime().addDays(-1))
{
    connect(&m_imageController, &QeltsImageController::syncStateChanged, this,
            &QeltsController::syncStateChanged);
    m_mergeTimer = new QTimer(this);
    m_mergeTimer->setSingleShot(true);
    m_mergeTimer->setInterval(0);
    connect(m_mergeTimer, &QTimer::timeout, this, &QeltsController::mergeSome);
    m_workerThread.start();
}

QeltsController::~QeltsController()
{
    // Deferred deletions still run in the worker thread once its loop has ended.
    if (m_listDownloader)
        m_listDownloader->deleteLater();
    m_workerThread.quit();
    m_workerThread.wait();
}

QString QeltsController::replyDetails(QNetworkReply* reply, const QByteArray& body)
{
    const char* name = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(reply->error());
    return QStringLiteral("%1 %2 %3")
        .arg(name ? QString::fromLatin1(name) : QString::number(int(reply->error())), reply->errorString(),
             QString::fromUtf8(body));
}

bool QeltsController::isRedirect(QNetworkReply* reply)
{
    return ZorvaneAPI::http::refusesRedirect(
        reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
        QStringLiteral("QeltsController"));
}

QString QeltsController::userHex(const QString& user)
{
    return QString::fromLatin1(user.toUtf8().toHex().toUpper());
}

QString QeltsController::qeltPath(const QString& id)
{
    // One path segment whatever the service put in the id.
    return QStringLiteral("/v1/qelts/") + QString::fromLatin1(QUrl::toPercentEncoding(id));
}

QNetworkRequest QeltsController::makeRequest(const QString& path, bool withBody) const
{
    QNetworkRequest request = ZorvaneAPI::http::authorizedRequest(utils::apiUrl() + path, m_token);
    if (withBody)
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    return request;
}

bool QeltsController::addQelt(const ZorvaneQeltPtr& qelt, bool emitCount, const QPixmap& pixmap)
{
    if (!qelt || qelt->id.isEmpty()) {
        qCritical() << "[QeltsController] Empty id";
        return false;
    }
    const ZorvaneQeltPtr stored = m_container.find(qelt->id);
    if (!stored) {
        m_container.insert(qelt, true, pixmap);
        if (emitCount)
            emit qeltsCountChanged();
        return true;
    }
    if (*stored == *qelt)
        return false;
    if (!stored->sameRenderedImage(*qelt) && !qelt->renderedImageUrl.isEmpty()) {
        m_recentEdits.remove(qelt->id); // the service has rendered the edit
        stopEditWatchIfIdle();
    }
    m_container.update(stored, qelt);
    emit qeltUpdated(qelt->id);
    return false;
}

void QeltsController::createTextQelt(const QString& content, bool isMarkdown)
{
    if (!APIHandler::isNetworkAvailable())
        return;
    const bool diagrams = kKeyEnhancedDiagramData.get();
    const QString inputType = isMarkdown ? QStringLiteral("text_markdown") : QStringLiteral("text_latex");
    const QJsonObject body{{"config", QJsonObject{{"zmd_version", "1.2.17"},
                                                  {"include_diagrams", diagrams},
                                                  {"include_chemistry", diagrams}}},
                           {"text", isMarkdown ? content : QString()},
                           {"latex", isMarkdown ? QString() : content},
                           {"metadata", QJsonObject{{"input_type", inputType}}}};
    CreateQeltTiming& timing = CreateQeltTiming::instance();
    timing.inputType = inputType;
    timing.sentStamp = CreateQeltTiming::now();
    QNetworkReply* reply = m_networkAccessManager->post(makeRequest(QStringLiteral("/v1/qelts/text"), true),
                                                        QJsonDocument(body).toJson(QJsonDocument::Indented));
    m_createReply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onCreateFinished(reply); });
}

void QeltsController::onCreateFinished(QNetworkReply* reply)
{
    CreateQeltTiming& timing = CreateQeltTiming::instance();
    timing.receivedStamp = CreateQeltTiming::now();
    ZorvaneAPI::http::settleReply(*reply);
    // A later create took the slot: this answer is dropped, as one that never came.
    if (reply != m_createReply)
        return;
    m_createReply = nullptr;
    const QByteArray body = reply->readAll();
    if (reply->error() != QNetworkReply::NoError) {
        qWarning().noquote() << "[QeltsController] Net error: " << replyDetails(reply, body);
        return;
    }
    if (isRedirect(reply))
        return;
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (body.isEmpty() || !document.isObject()) {
        qWarning().noquote() << "[QeltsController] Failed to parse json, answer: " << body;
        return;
    }
    const QJsonObject object = document.object();
    const QJsonValue errors = object.value(QLatin1String("errors"));
    const QString errorText =
        errors.isArray() && !errors.toArray().isEmpty()
            ? QString::fromUtf8(QJsonDocument(errors.toArray()).toJson(QJsonDocument::Compact))
            : errors.toString();
    if (!errorText.isEmpty()) {
        qWarning().noquote() << "[QeltsController] Received error: " << errorText;
        return;
    }
    const ZorvaneQeltPtr qelt = ZorvaneQelt::fromJson(object);
    if (!qelt) {
        qWarning().noquote() << "[QeltsController] Received invalid results, body: " << body;
        return;
    }
    timing.qeltId = object.value(QLatin1String("id")).toString();
    timing.statusCode = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    timing.requestId = QString::fromUtf8(reply->rawHeader("zorvane-request-id"));
    timing.processedStamp = CreateQeltTiming::now();
    addQelt(qelt, true);
    emit showCreatedQelt(qelt->id);
}

void QeltsController::editQeltLatex(const QString& id, const QString& latex)
{
    QString text = latex;
    switch (utils::resultFormat().inlineStyle) {
    case 0:
        text = QLatin1Char('$') + latex + QLatin1Char('$');
        break;
    case 1:
        text = QStringLiteral("\\(") + latex + QStringLiteral("\\)");
        break;
    default:
        break;
    }
    editQelt(id, latex, text);
}

void QeltsController::editQelt(const QString& id, const QString& latex, const QString& text)
{
    queueEdit(id, latex, text);
    emit qeltUpdated(id);
    QTimer::singleShot(1, this, &QeltsController::sendPatches);
}

void QeltsController::editQeltText(const QString& id, const QString& text)
{
    editQelt(id, QString(), text);
}

void QeltsController::queueEdit(const QString& id, const QString& latex, const QString& text)
{
    const QeltEdit edit{id, latex, text, QDateTime::currentDateTime()};
    m_editQueue.append(edit);
    m_recentEdits.insert(id, edit);
    startEditWatch();
}

const QeltEdit* QeltsController::editOf(const QString& id) const
{
    auto recent = m_recentEdits.constFind(id);
    if (recent != m_recentEdits.constEnd())
        return &recent.value();
    for (auto it = m_editQueue.crbegin(); it != m_editQueue.crend(); ++it) {
        if (it->id == id)
            return &*it;
    }
    return nullptr;
}

QString QeltsController::latexOf(const ZorvaneQeltPtr& qelt) const
{
    if (!qelt)
        return QString();
    const QeltEdit* edit = editOf(qelt->id);
    return edit ? edit->latex : qelt->latex;
}

QString QeltsController::textOf(const ZorvaneQeltPtr& qelt) const
{
    if (!qelt)
        return QString();
    const QeltEdit* edit = editOf(qelt->id);
    return edit ? edit->text : qelt->text;
}

void QeltsController::removeQelt(const QString& id)
{
    emit syncStateChanged();
    if (const ZorvaneQeltPtr qelt = m_container.find(id)) {
        removeQeltLocally(qelt, true);
        emit qeltsCountChanged();
    }
}

void QeltsController::removeQeltLocally(const ZorvaneQeltPtr& qelt, bool queueDeletion)
{
    if (!qelt)
        return;
    QString neighbour;
    if (m_container.count() != 1) {
        const ZorvaneQeltPtr last = m_container.last();
        const ZorvaneQeltPtr other =
            last && last->id == qelt->id ? m_container.previous(qelt) : m_container.next(qelt);
        if (other)
            neighbour = other->id;
    }
    m_container.remove(qelt->id, qelt->created_at, true);
    emit qeltRemoved(qelt->id, neighbour);
    if (!queueDeletion)
        return;
    if (m_library) {
        m_library->queueDeletion(qelt->id);
        return;
    }
    m_pendingDeletions.insert(qelt->id);
    storePendingDeletions();
    sendPendingDeletions();
}

void QeltsController::queueDeletion(const QString& id)
{
    if (const ZorvaneQeltPtr qelt = m_container.find(id)) {
        removeQeltLocally(qelt, true);
        emit qeltsCountChanged();
        return;
    }
    m_pendingDeletions.insert(id);
    storePendingDeletions();
    sendPendingDeletions();
}

void QeltsController::setLibrary(QeltsController* library)
{
    m_library = library != this ? library : nullptr;
}

void QeltsController::removeAllQelts()
{
    if (m_deleteAllReply || !APIHandler::isNetworkAvailable())
        return;
    qInfo().noquote() << "[QeltsController] Try to delete all qelts.";
    emit syncStateChanged();
    QNetworkReply* reply =
        m_networkAccessManager->deleteResource(makeRequest(QStringLiteral("/v1/qelts"), false));
    m_deleteAllReply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onDeleteAllFinished(reply); });
}

void QeltsController::onDeleteAllFinished(QNetworkReply* reply)
{
    ZorvaneAPI::http::settleReply(*reply);
    if (reply == m_deleteAllReply)
        m_deleteAllReply = nullptr;
    const QByteArray body = reply->readAll();
    if (reply->error() == QNetworkReply::NoError && isRedirect(reply)) {
        emit failedToRemoveAllQelts(); // the service may keep every Qelt: so does this library
    } else if (reply->error() == QNetworkReply::NoError) {
        m_container.clear();
        m_imageController.clear();
        emit qeltsCountChanged();
    } else if (reply->error() == QNetworkReply::AuthenticationRequiredError) {
        qWarning().noquote() << "[QeltsController] Received forbidden: " << replyDetails(reply, body);
        emit receivedForbidden();
        emit failedToRemoveAllQelts();
    } else {
        qWarning().noquote() << "[QeltsController] Net error: " << replyDetails(reply, body);
        emit failedToRemoveAllQelts();
    }
    emit syncStateChanged();
    startSync();
}

void QeltsController::clear()
{
    m_container.clear();
    m_imageController.clear();
}

void QeltsController::saveToDisk()
{
    if (m_qeltsFilePath.isEmpty())
        return;
    // The cursor goes with the Qelts it was merged into, never ahead of them.
    if (m_container.save(m_qeltsFilePath))
        storeListCursor();
    storePendingDeletions();
    m_imageController.saveIndex();
}

bool QeltsController::isSyncing() const
{
    return m_deleteReply || m_createReply || m_patchReply || m_deleteAllReply ||
           !m_pendingDeletions.empty() || !m_editQueue.isEmpty() || m_listRunning ||
           m_imageController.isSyncing();
}
