// Installing a downloaded update: the swap of the program file, and its rollback.
#include "app/flows/UpdateController.h"

#include "api/APIHandler.h"
#include "core/paths.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>

void UpdateController::setRenameForTesting(RenameFunction rename)
{
    m_rename = std::move(rename);
}

void UpdateController::RunUpdate()
{
    stopInstallTimer();
    if (!install(false))
        APIHandler::log(QStringLiteral("update_error: update failed"), QStringLiteral("error"), QString());
    m_updateFilePath.clear();
}

bool UpdateController::install(bool silent)
{
    QString error;
    if (replaceAppImage(error))
        return true;
    logWarning() << "Update failed:" << error;
    if (!silent)
        emit updateFailed(QCoreApplication::translate("QApplication", "Update failed.\n%1").arg(error));
    return false;
}

bool UpdateController::renameFile(QString& error, const QString& from, const QString& to)
{
    const bool renamed = m_rename ? m_rename(from, to) : QFile::rename(from, to);
    if (!renamed)
        error = QStringLiteral("Can't rename file %1 to %2").arg(from, to);
    return renamed;
}

bool UpdateController::replaceAppImage(QString& error)
{
    const QString appImage = utils::appImagePath();
    if (appImage.isEmpty()) {
        error = QStringLiteral("APPIMAGE environment variable is empty");
        return false;
    }
    if (!QFile::exists(appImage)) {
        error = QStringLiteral("AppImage file doesn't exist: %1").arg(appImage);
        return false;
    }
    if (m_updateFilePath.isEmpty() || !QFile::exists(m_updateFilePath)) {
        error = QStringLiteral("Update file doesn't exist: %1").arg(m_updateFilePath);
        return false;
    }
    if (!QFile::setPermissions(m_updateFilePath, QFile::permissions(appImage))) {
        error = QStringLiteral("Unable to change file permissions: %1").arg(m_updateFilePath);
        return false;
    }

    // The running program becomes prev, and the one before it bak, so that a failed swap can be undone.
    const QString prev = m_updateFilePath + QStringLiteral(".prev");
    const QString bak = prev + QStringLiteral(".bak");
    if (QFile::exists(bak))
        QFile::remove(bak);
    if (QFile::exists(prev) && !renameFile(error, prev, bak))
        return false;

    QString rollbackError;
    const auto restoreBackup = [&] {
        if (QFile::exists(bak) && !renameFile(rollbackError, bak, prev))
            logWarning() << "Rollback failed:" << rollbackError;
    };
    if (!renameFile(error, appImage, prev)) {
        restoreBackup();
        return false;
    }
    if (!renameFile(error, m_updateFilePath, appImage)) {
        if (!renameFile(rollbackError, prev, appImage))
            logWarning() << "Rollback failed:" << rollbackError;
        restoreBackup();
        return false;
    }
    logInfo() << "Update completed";
    emit UpdateCompleted();
    return true;
}
