#include "library/QeltsController.h"

#include "api/APIHandler.h"
#include "api/CreateQeltTiming.h"
#include "core/ResultFormat.h"
#include "core/identity.h"
#include "core/network.h"
#include "core/paths.h"
#include "core/settings.h"
#include "library/imageFiles.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {

QString replyDetails(QNetworkReply* reply, const QByteArray& body)
{
    return QStringLiteral("%1 %2 %3")
        .arg(int(reply->error()))
        .arg(reply->errorString(), QString::fromUtf8(body));
}

} // namespace

QeltsController::QeltsController(QObject* parent, QNetworkAccessManager* networkAccessManager)
    : QObject(parent), m_networkAccessManager(networkAccessManager), m_imageController(this),
      m_container(&m_imageController), m_lastListTime(QDateTime::currentDateTime().addDays(-1))
{
    connect(&m_imageController, &QeltsImageController::syncStateChanged, this,
            &QeltsController::syncStateChanged);
    m_workerThread.start();
}

QeltsController::~QeltsController()
{
    m_workerThread.quit();
    m_workerThread.wait();
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
    QNetworkRequest request(QUrl(utils::apiUrl() + path));
    request.setRawHeader("Authorization", "Bearer " + m_token.toUtf8());
    request.setHeader(QNetworkRequest::UserAgentHeader, utils::appVersionString());
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
    if (!stored->sameRenderedImage(*qelt) && !qelt->renderedImageUrl.isEmpty())
        m_recentEdits.remove(qelt->id); // the service has rendered the edit
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
    reply->deleteLater();
    // A later create took the slot: this answer is dropped, as one that never came.
    if (reply != m_createReply)
        return;
    m_createReply = nullptr;
    const QByteArray body = reply->readAll();
    utils::restoreNetworkAccess(reply);
    if (reply->error() != QNetworkReply::NoError) {
        qWarning().noquote() << "[QeltsController] Net error: " << replyDetails(reply, body);
        return;
    }
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
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onPatchFinished(reply); });
}

void QeltsController::onPatchFinished(QNetworkReply* reply)
{
    emit syncStateChanged();
    utils::restoreNetworkAccess(reply);
    reply->deleteLater();
    if (reply == m_patchReply)
        m_patchReply = nullptr;
    const QByteArray body = reply->readAll();
    if (m_editQueue.isEmpty()) {
        qWarning().noquote() << "[QeltsController]"
                             << "No updates but got patch request response";
        return;
    }
    const QString id = m_editQueue.first().id;
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
    const int code = int(reply->error());
    if (code > 200 && code < 300) {
        if (m_lastFailedPatchId == id) {
            m_editQueue.removeFirst();
            qWarning().noquote() << "[QeltsController]"
                                 << "Qelt update is skipped. Qelt ID:" << id;
            emit qeltUpdated(id);
        } else {
            m_lastFailedPatchId = id;
        }
    }
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
    if (queueDeletion) {
        m_pendingDeletions.insert(qelt->id);
        sendPendingDeletions();
    }
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
    utils::restoreNetworkAccess(reply);
    reply->deleteLater();
    if (reply == m_deleteReply)
        m_deleteReply = nullptr;
    const QByteArray body = reply->readAll();
    if (reply->error() != QNetworkReply::NoError) {
        qWarning().noquote() << "[QeltsController] Net error: " << replyDetails(reply, body);
        return;
    }
    qInfo().noquote() << "[QeltsController] qelt removed: " << id;
    if (m_pendingDeletions.erase(id) && !m_pendingDeletions.empty())
        QTimer::singleShot(1, this, &QeltsController::sendPendingDeletions);
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
    utils::restoreNetworkAccess(reply);
    reply->deleteLater();
    if (reply == m_deleteAllReply)
        m_deleteAllReply = nullptr;
    const QByteArray body = reply->readAll();
    if (reply->error() == QNetworkReply::NoError) {
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
    m_container.save(m_qeltsFilePath);
    if (m_pendingDeletions.empty()) {
        m_pendingDeletionsKey.remove();
    } else {
        QVariantList ids;
        for (const QString& id : m_pendingDeletions)
            ids.append(id);
        m_pendingDeletionsKey.set(ids);
    }
    m_imageController.saveIndex();
}

void QeltsController::setUser(const QString& user, const QString& token)
{
    if (!m_qeltsFilePath.isEmpty() && QFile::exists(m_qeltsFilePath))
        QFile::remove(m_qeltsFilePath);
    m_qeltsFilePath.clear();
    if (m_pendingDeletionsKey.isValid())
        m_pendingDeletionsKey.remove();
    m_pendingDeletionsKey = SettingKey<QVariantList>(QString(), QVariantList());
    m_container.clear();
    m_pendingDeletions.clear();
    m_token = token;
    if (token.isEmpty()) {
        if (m_deleteReply) {
            m_deleteReply->disconnect(this);
            connect(m_deleteReply.data(), &QNetworkReply::finished, m_deleteReply.data(),
                    &QObject::deleteLater);
            m_deleteReply = nullptr;
        }
        m_recentEdits.clear();
        emit qeltsCountChanged();
        return;
    }
    const QString hex = userHex(user);
    if (utils::dataFolder().isEmpty())
        return; // nowhere to keep the user's Qelts: they stay in memory
    m_qeltsFilePath = QStringLiteral("%1/qelts-%2.dat").arg(utils::statePath(), hex);
    m_pendingDeletionsKey = SettingKey<QVariantList>(QStringLiteral("REMV2-") + hex, QVariantList());
    if (QFile::exists(m_qeltsFilePath)) {
        QElapsedTimer timer;
        timer.start();
        if (!m_container.load(m_qeltsFilePath))
            emit receivedForbidden();
        if (timer.elapsed() >= 1000)
            APIHandler::log(QStringLiteral("loading %1").arg(timer.elapsed()), QStringLiteral("info"),
                            QString());
    }
    for (const QVariant& id : m_pendingDeletionsKey.get())
        m_pendingDeletions.insert(id.toString());
    m_listRunning = false;
    emit qeltsCountChanged();
}

bool QeltsController::isSyncing() const
{
    return m_deleteReply || m_createReply || m_patchReply || m_deleteAllReply ||
           !m_pendingDeletions.empty() || !m_editQueue.isEmpty() || m_listRunning ||
           m_imageController.isSyncing();
}
