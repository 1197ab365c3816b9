#include "app/flows/UpdateController.h"

#include "api/APIHandler.h"
#include "api/http.h"
#include "app/flows/AppInterface.h"
#include "core/identity.h"
#include "core/network.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/userState.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <stdexcept>

#ifndef ZQ_SOURCE_REVISION
#define ZQ_SOURCE_REVISION "unknown"
#endif

const QString UpdateController::kProbeArgument = QStringLiteral("--appimage-version");
const QString UpdateController::kStaffEmailDomain = QStringLiteral("@zorvane.com");

namespace {

// The site's production address, as the manifest writes its download addresses.
const QString kProductionSiteUrl = QStringLiteral("https://zorvane.com");
const QString kManifestPath = QStringLiteral("/lin_app/version.json");

QString errorName(QNetworkReply::NetworkError error)
{
    return QString::fromLatin1(QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(error));
}

} // namespace

UpdateController::UpdateController(const QString& appVersion, QNetworkAccessManager* networkManager,
                                   AppInterface* appInterface, QObject* parent,
                                   const UpdateIntervals& intervals)
    : QObject(parent), m_networkManager(networkManager), m_appInterface(appInterface),
      m_appVersion(appVersion), m_intervals(intervals)
{
    if (!networkManager)
        throw std::runtime_error("[UpdateController] Network access manager is null");
    if (!appInterface)
        throw std::runtime_error("[UpdateController] Application interface is null");
    qRegisterMetaType<CheckUpdateResult>("CheckUpdateResult");

    initRolloutSettings();
    startTimers();
    logInfo() << "Revision:" << ZQ_SOURCE_REVISION;
    logInfo() << "Last update version:" << kKeyLastUpdateVersion.get() << ", app version:" << m_appVersion;
    if (utils::appImagePath().isEmpty())
        logInfo() << "Not running from an AppImage: updates come from where the program was installed";
    m_lastActivityMs = nowMs() - m_intervals.awayAtStartMs;
}

UpdateController::~UpdateController()
{
    // A probe still running belongs to nobody once the controller is gone.
    if (m_probe) {
        m_probe->disconnect(this);
        m_probe->kill();
        m_probe->waitForFinished(1000);
    }
}

QDebug UpdateController::logInfo() const
{
    return qInfo().noquote() << "[UpdateController]";
}

QDebug UpdateController::logWarning() const
{
    return qWarning().noquote() << "[UpdateController]";
}

qint64 UpdateController::nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void UpdateController::initRolloutSettings()
{
    if (!kKeyLastUpdateVersion.contains() || kKeyLastUpdateVersion.get() == m_appVersion) {
        kKeyLastUpdateCount.remove();
        kKeyLastUpdateVersion.remove();
    }
    if (kKeyUpdatePercent.contains()) {
        m_rolloutPercent = kKeyUpdatePercent.get();
        return;
    }
    // Drawn once per installation; the stored number keeps it in its place of the roll-out.
    QRandomGenerator generator{quint32(QDateTime::currentSecsSinceEpoch())};
    m_rolloutPercent = int(generator.generate() % 99);
    kKeyUpdatePercent.set(m_rolloutPercent);
}

void UpdateController::startTimers()
{
    m_checkTimer = new QTimer(this);
    connect(m_checkTimer, &QTimer::timeout, this, &UpdateController::checkForUpdate);
    m_checkTimer->start(m_intervals.checkMs);
    QTimer::singleShot(m_intervals.firstCheckMs, this, &UpdateController::checkForUpdate);
}

void UpdateController::ResetActivity()
{
    m_lastActivityMs = nowMs();
}

void UpdateController::UserCheckUpdate()
{
    m_userInitiated = true;
    checkForUpdate();
}

void UpdateController::checkForUpdate()
{
    if (m_pendingReply || m_probe)
        return;
    if (m_installTimer) {
        // A download already waits for an idle moment; the user who asks gets it offered now.
        if (m_userInitiated)
            tryInstallWhenIdle();
        return;
    }
    if (!APIHandler::isNetworkAvailable()) {
        finishCheck(NoNetwork);
        return;
    }
    APIHandler::event(QStringLiteral("check_new_app_version"));
    const QString url = utils::siteUrl() + kManifestPath;
    logInfo() << "Manifest URL:" << url;
    QNetworkReply* reply = m_networkManager->get(ZorvaneAPI::http::anonymousRequest(url));
    m_pendingReply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onVersionReply(reply); });
}

std::optional<UpdateManifest> UpdateController::readManifest(const QByteArray& body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (document.isEmpty() || document.isNull() || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    UpdateManifest manifest;
    manifest.version = object.value(QStringLiteral("version")).toString();
    manifest.percent = object.value(QStringLiteral("percent")).toInt();
    manifest.url = object.value(QStringLiteral("url")).toString();
    return manifest;
}

QString UpdateController::downloadUrlFrom(const QString& manifestUrl)
{
    QString url = manifestUrl;
    return url.replace(kProductionSiteUrl, utils::siteUrl(), Qt::CaseSensitive);
}

bool UpdateController::isAcceptedDownloadUrl(const QString& url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.host().isEmpty() || !parsed.userInfo().isEmpty())
        return false;
    if (parsed.scheme() == QLatin1String("https"))
        return true;
    // The manifest came from the site; its own address is as safe as the manifest.
    const QUrl site(utils::siteUrl());
    return parsed.scheme() == site.scheme() && parsed.host() == site.host() && parsed.port() == site.port();
}

bool UpdateController::looksLikeProgram(const QByteArray& body)
{
    return body.startsWith(QByteArrayLiteral("\x7f"
                                             "ELF"));
}

bool UpdateController::writeWhole(QIODevice& device, const QByteArray& data)
{
    qint64 written = 0;
    while (written < data.size()) {
        const qint64 step = device.write(data.constData() + written, data.size() - written);
        if (step <= 0)
            return false;
        written += step;
    }
    return true;
}

void UpdateController::onVersionReply(QNetworkReply* reply)
{
    ZorvaneAPI::http::settleReply(*reply);
    if (reply->error() != QNetworkReply::NoError) {
        logWarning() << "Failed to get app version, error:" << errorName(reply->error())
                     << reply->errorString();
        finishCheck(NetworkFailure);
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (ZorvaneAPI::http::refusesRedirect(status, QStringLiteral("UpdateController"))) {
        finishCheck(NetworkFailure);
        return;
    }
    const QByteArray body = reply->readAll();
    const std::optional<UpdateManifest> manifest = readManifest(body);
    if (!manifest) {
        logWarning() << "Received invalid json:" << body;
        finishCheck(InvalidResponse);
        return;
    }
    const QString url = downloadUrlFrom(manifest->url);
    logInfo() << "Current update version:" << manifest->version << ", percent:" << manifest->percent
              << ", url:" << url;

    // Versions are compared as strings, as they always were.
    if (!(m_appVersion < manifest->version)) {
        logInfo() << "The app is up to date, update version:" << manifest->version
                  << ", app version:" << m_appVersion;
        finishCheck(UpToDate);
        return;
    }
    APIHandler::event(QStringLiteral("found_new_app_version"));

    const bool rolledOut = manifest->percent == 100 ||
                           utils::authInfo().first.contains(kStaffEmailDomain, Qt::CaseInsensitive) ||
                           m_rolloutPercent <= manifest->percent || m_userInitiated;
    if (!rolledOut) {
        logInfo() << "Too small percent in update:" << manifest->percent
                  << ", app percent:" << m_rolloutPercent;
        finishCheck(RolloutPercentTooSmall);
        return;
    }
    // Nothing here could install it: a download would be for nothing.
    if (utils::appImagePath().isEmpty()) {
        finishCheck(InstalledElsewhere);
        return;
    }
    if (!APIHandler::isNetworkAvailable()) {
        finishCheck(NoNetwork);
        return;
    }
    if (!isAcceptedDownloadUrl(url)) {
        logWarning() << "Refused to download the update from" << url;
        finishCheck(InvalidResponse);
        return;
    }
    QNetworkReply* download = m_networkManager->get(ZorvaneAPI::http::anonymousRequest(url));
    m_pendingReply = download;
    const QString version = manifest->version;
    connect(download, &QNetworkReply::finished, this,
            [this, download, version] { onDownloadReply(download, version); });
}

void UpdateController::onDownloadReply(QNetworkReply* reply, const QString& version)
{
    ZorvaneAPI::http::settleReply(*reply);
    if (reply->error() != QNetworkReply::NoError) {
        logWarning() << "Failed to download app update, error:" << errorName(reply->error())
                     << reply->errorString();
        finishCheck(DownloadFailed);
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (ZorvaneAPI::http::refusesRedirect(status, QStringLiteral("UpdateController"))) {
        finishCheck(DownloadFailed);
        return;
    }
    const QByteArray body = reply->readAll();
    // An empty, cut or HTML answer must never become the program.
    if (!looksLikeProgram(body)) {
        APIHandler::log(QStringLiteral("update_error: download is not a program"), QStringLiteral("error"),
                        QString());
        logWarning() << "The download is not a program, size:" << body.size();
        finishCheck(DownloadFailed);
        return;
    }

    const QString location = QStandardPaths::standardLocations(QStandardPaths::AppLocalDataLocation).value(0);
    if (location.isEmpty()) {
        APIHandler::log(QStringLiteral("update_error: no temp paths"), QStringLiteral("error"), QString());
        logWarning() << "Location for new version not found";
        finishCheck(NoDownloadLocation);
        return;
    }
    m_updateFilePath = location + QStringLiteral("/setup");
    logInfo() << "Update file path:" << m_updateFilePath;
    QDir().mkpath(location);

    if (!saveDownload(body)) {
        m_updateFilePath.clear();
        finishCheck(SaveFailed);
        return;
    }
    probeDownload(version);
}

bool UpdateController::saveDownload(const QByteArray& body)
{
    QSaveFile file(m_updateFilePath);
    if (!file.open(QIODevice::WriteOnly)) {
        APIHandler::log(QStringLiteral("update_error: temp file not open"), QStringLiteral("error"),
                        QString());
        logWarning() << "Failed to open new setup file, path:" << m_updateFilePath << file.errorString();
        return false;
    }
    if (!writeWhole(file, body) || !file.commit()) {
        APIHandler::log(QStringLiteral("update_error: temp file not written"), QStringLiteral("error"),
                        QString());
        logWarning() << "Failed to write new setup file, path:" << m_updateFilePath << file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

void UpdateController::probeDownload(const QString& version)
{
    QFile::setPermissions(m_updateFilePath, QFile::permissions(m_updateFilePath) | QFileDevice::ExeOwner |
                                                QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    auto* probe = new QProcess(this);
    m_probe = probe;
    probe->setStandardOutputFile(QProcess::nullDevice());
    probe->setStandardErrorFile(QProcess::nullDevice());
    probe->setStandardInputFile(QProcess::nullDevice());

    auto* timeout = new QTimer(probe);
    timeout->setSingleShot(true);
    connect(timeout, &QTimer::timeout, probe, [this, probe] {
        logWarning() << "The downloaded program did not answer in time";
        probe->kill();
    });
    const auto done = [this, probe, version](bool runs) {
        if (m_probe != probe)
            return;
        m_probe = nullptr;
        probe->disconnect(this);
        probe->deleteLater();
        onDownloadProbed(version, runs);
    };
    connect(probe, &QProcess::errorOccurred, this, [probe, done](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            done(false);
        else if (probe->state() == QProcess::NotRunning)
            done(false);
    });
    connect(probe, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [done](int exitCode, QProcess::ExitStatus status) {
                done(status == QProcess::NormalExit && exitCode == 0);
            });
    timeout->start(m_intervals.probeTimeoutMs);
    probe->start(m_updateFilePath, {kProbeArgument}, QIODevice::ReadOnly);
}

void UpdateController::onDownloadProbed(const QString& version, bool runs)
{
    if (!runs) {
        APIHandler::log(QStringLiteral("update_error: download does not run"), QStringLiteral("error"),
                        QString());
        logWarning() << "The downloaded program does not run with" << kProbeArgument;
        QFile::remove(m_updateFilePath);
        m_updateFilePath.clear();
        finishCheck(DownloadFailed);
        return;
    }
    APIHandler::event(QStringLiteral("install_new_app_version"),
                      QJsonObject{{QStringLiteral("new_app_version"), version}});

    // No more periodic checks in this run: the next start runs the new version.
    if (m_checkTimer) {
        m_checkTimer->stop();
        m_checkTimer->deleteLater();
        m_checkTimer = nullptr;
    }
    // After three silent attempts at one version the user is asked instead.
    if (kKeyLastUpdateVersion.get() == version && kKeyLastUpdateCount.get() >= 3) {
        finishCheck(UpdateReady);
        return;
    }
    kKeyLastUpdateCount.set(kKeyLastUpdateVersion.get() == version ? kKeyLastUpdateCount.get() + 1 : 1);
    kKeyLastUpdateVersion.set(version);
    m_downloadedAtMs = nowMs();

    if (tryInstallWhenIdle())
        return;
    stopInstallTimer();
    m_installTimer = new QTimer(this);
    connect(m_installTimer, &QTimer::timeout, this, [this] { tryInstallWhenIdle(); });
    m_installTimer->start(m_intervals.installPollMs);
}

bool UpdateController::tryInstallWhenIdle()
{
    if (m_userInitiated) {
        stopInstallTimer();
        finishCheck(UpdateReady);
        return true;
    }
    const qint64 now = nowMs();
    if (!m_appInterface->IsIdle()) {
        if (now - m_downloadedAtMs < m_intervals.giveUpMs)
            return false;
        stopInstallTimer();
        finishCheck(UpdateReady);
        return true;
    }
    if (now - m_lastActivityMs <= m_intervals.awayMs)
        return false;

    stopInstallTimer();
    if (install(true))
        return true;
    finishCheck(UpdateReady);
    APIHandler::log(QStringLiteral("update_error: silent setup not started"), QStringLiteral("error"),
                    QString());
    return true;
}

void UpdateController::stopInstallTimer()
{
    if (!m_installTimer)
        return;
    m_installTimer->stop();
    m_installTimer->deleteLater();
    m_installTimer = nullptr;
}

void UpdateController::finishCheck(CheckUpdateResult result)
{
    m_userInitiated = false;
    emit CheckUpdateFinished(result);
}
