#pragma once

#include <QString>

// Status of a recognised Qelt whose recognition has finished.
extern const QString kStatusCompleted;
// Shown (as "%1" of the failure texts) when a PDF request fails with a network error.
extern const QString kNetworkErrorMessage;
