#include "core/constants.h"

const QString kStatusCompleted = QStringLiteral("completed");
const QString kNetworkErrorMessage = QStringLiteral(
    "There was a network error. Please check network connection and try again. If the issue persists "
    "please contact support.");
