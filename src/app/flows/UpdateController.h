#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class AppInterface;
class QIODevice;
class QNetworkAccessManager;
class QNetworkReply;
class QProcess;
class QTimer;

// How one update check ended; the application's texts for each are in UpdateNotice.h.
enum CheckUpdateResult : int {
    UpdateReady = 0,
    NoNetwork = 1,
    NetworkFailure = 2,
    InvalidResponse = 3,
    UpToDate = 4,
    RolloutPercentTooSmall = 5,
    DownloadFailed = 6,
    NoDownloadLocation = 7,
    SaveFailed = 8,
    // A newer version exists, but the program does not run from an AppImage: whoever installed it updates it.
    InstalledElsewhere = 9,
};
Q_DECLARE_METATYPE(CheckUpdateResult)

// What the update manifest on the site says.
struct UpdateManifest
{
    QString version;
    int percent = 0;
    QString url;
};

// How long the updater waits for what. The product keeps the defaults; tests shorten them.
struct UpdateIntervals
{
    int firstCheckMs = 1000;
    int checkMs = 3600000;
    int installPollMs = 60000;
    // The user must have been away longer than this before the program is replaced under them.
    qint64 awayMs = 300000;
    // Without an idle moment for this long after the download, the update is offered instead.
    qint64 giveUpMs = 3600000;
    // An untouched application counts as away this long already at start.
    qint64 awayAtStartMs = 240000;
    // The downloaded program must answer its harmless argument within this time.
    int probeTimeoutMs = 30000;
};

// Replaces the program's own AppImage: checks the manifest hourly and when the user asks, applies the
// staged roll-out, downloads the new program into the data folder, and installs it once the application
// is idle and the user away; otherwise it offers the update. A program that does not run from an AppImage
// (no APPIMAGE) only learns of a newer version: there is no file of its own to replace. GUI thread only.
//
// The application makes one in Init and connects UpdateCompleted -> SilentRestart, CheckUpdateFinished
// -> OnCheckUpdateFinished (which shows what updateNotice says), updateFailed -> a warning box; it calls
// ResetActivity on every user action, UserCheckUpdate from "Check for Updates..." and RunUpdate from
// "Update now" (and from a click on the balloon that offers it).
class UpdateController : public QObject
{
    Q_OBJECT

public:
    // The argument the downloaded program must run with, and succeed, before it may replace this one.
    static const QString kProbeArgument;
    // Sign-ins of this domain get every update at once.
    static const QString kStaffEmailDomain;

    // Throws std::runtime_error when networkManager or appInterface is null.
    UpdateController(const QString& appVersion, QNetworkAccessManager* networkManager,
                     AppInterface* appInterface, QObject* parent = nullptr,
                     const UpdateIntervals& intervals = UpdateIntervals());
    ~UpdateController() override;

    // A check now; while a manifest or download is on its way, its outcome stands for this one.
    void checkForUpdate();

    int rolloutPercent() const { return m_rolloutPercent; }
    QString updateFilePath() const { return m_updateFilePath; }
    // Waiting for an idle moment to install.
    bool isWaitingToInstall() const { return m_installTimer != nullptr; }
    bool hasPeriodicCheck() const { return m_checkTimer != nullptr; }

    // Readers of what the site sends. The manifest: null when the body is not a JSON object.
    static std::optional<UpdateManifest> readManifest(const QByteArray& body);
    // The manifest's download address, the production site replaced by the current one.
    static QString downloadUrlFrom(const QString& manifestUrl);
    // Only https, or the site the manifest itself came from.
    static bool isAcceptedDownloadUrl(const QString& url);
    // A download that may be a program: not empty, and an ELF file.
    static bool looksLikeProgram(const QByteArray& body);
    // All of data to device; false on a short or failed write.
    static bool writeWhole(QIODevice& device, const QByteArray& data);

    // Tests force failures of the swap's renames through this; it defaults to QFile::rename.
    using RenameFunction = std::function<bool(const QString& from, const QString& to)>;
    void setRenameForTesting(RenameFunction rename);

signals:
    void CheckUpdateFinished(CheckUpdateResult result);
    void UpdateCompleted();
    // A user-started install failed; the text is for a warning box.
    void updateFailed(QString text);

public slots:
    void ResetActivity();
    void RunUpdate();
    void UserCheckUpdate();

private:
    void initRolloutSettings();
    void startTimers();
    void onVersionReply(QNetworkReply* reply);
    void onDownloadReply(QNetworkReply* reply, const QString& version);
    void probeDownload(const QString& version);
    void onDownloadProbed(const QString& version, bool runs);
    bool saveDownload(const QByteArray& body);
    bool tryInstallWhenIdle();
    bool install(bool silent);
    bool replaceAppImage(QString& error);
    bool renameFile(QString& error, const QString& from, const QString& to);
    void finishCheck(CheckUpdateResult result);
    void stopInstallTimer();
    QDebug logInfo() const;
    QDebug logWarning() const;
    static qint64 nowMs();

    int m_rolloutPercent = 0;
    QString m_updateFilePath;
    QTimer* m_checkTimer = nullptr;
    QTimer* m_installTimer = nullptr;
    QNetworkAccessManager* m_networkManager;
    QPointer<QNetworkReply> m_pendingReply;
    QPointer<QProcess> m_probe;
    qint64 m_lastActivityMs = 0;
    qint64 m_downloadedAtMs = 0;
    AppInterface* m_appInterface;
    QString m_appVersion;
    bool m_userInitiated = false;
    UpdateIntervals m_intervals;
    RenameFunction m_rename;
};
