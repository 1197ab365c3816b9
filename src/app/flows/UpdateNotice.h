#pragma once

#include "app/flows/UpdateController.h"

#include <QString>

// What the application shows when an update check ends (its handler of CheckUpdateFinished):
//     const UpdateNotice notice = updateNotice(result, updateCheckRunning);
//     offerUpdate: remove "Check for Updates..." from the tray menu, add a separator and an entry with
//                  actionText that runs RunUpdate, and set updateOffered;
//     restoreCheckAction: give "Check for Updates..." back actionText and enable it;
//     balloon: when a tray icon exists, an information balloon of 10000 ms (ShowTrayMessage's form);
//     then updateCheckRunning = false.
// Results of periodic checks other than UpdateReady show nothing.
struct UpdateNotice
{
    bool offerUpdate = false;
    bool restoreCheckAction = false;
    QString actionText;
    QString balloon;
};

UpdateNotice updateNotice(CheckUpdateResult result, bool userCheckRunning);

// The words for a result, as the balloon of a user-started check shows them.
QString checkUpdateResultText(CheckUpdateResult result);
