#include "app/flows/UpdateNotice.h"

#include <QCoreApplication>

namespace {

QString translated(const char* text)
{
    return QCoreApplication::translate("QApplication", text);
}

} // namespace

QString checkUpdateResultText(CheckUpdateResult result)
{
    switch (result) {
    case UpdateReady:
        return translated("New version is available");
    case NoNetwork:
        return translated("Not connected to the network");
    case NetworkFailure:
        return translated("Network error");
    case InvalidResponse:
        return translated("Invalid response from server");
    case UpToDate:
        return translated("Already up-to-date");
    case RolloutPercentTooSmall:
        return translated("Small deployment percent");
    case DownloadFailed:
        return translated("Failed to download new version");
    case NoDownloadLocation:
        return translated("Failed to find new version location");
    case SaveFailed:
        return translated("Failed to save new version locally");
    case InstalledElsewhere:
        return translated("A newer version is available. Update the program where you installed it.");
    }
    return translated("Unknown error");
}

UpdateNotice updateNotice(CheckUpdateResult result, bool userCheckRunning)
{
    UpdateNotice notice;
    if (result == UpdateReady) {
        notice.offerUpdate = true;
        notice.actionText = translated("Update now");
        notice.balloon = translated("New version is available.\nTo Update this version, just click this "
                                    "notification or select \"Update now\" from the menu.");
        return notice;
    }
    if (!userCheckRunning)
        return notice;
    notice.restoreCheckAction = true;
    notice.actionText = translated("Check for Updates...");
    notice.balloon =
        QStringLiteral("%1\n%2").arg(translated("Check for updates"), checkUpdateResultText(result));
    return notice;
}
