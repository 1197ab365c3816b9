#include "app/SaveTimer.h"

#include "library/QeltsController.h"

SaveTimer::SaveTimer(QeltsController& library, std::function<bool()> signedIn, QObject* parent,
                     int intervalMs)
    : QObject(parent), m_library(library), m_signedIn(std::move(signedIn))
{
    connect(&m_timer, &QTimer::timeout, this, &SaveTimer::onTimeout);
    m_timer.start(intervalMs);
}

void SaveTimer::onTimeout()
{
    if (m_signedIn())
        m_library.saveToDisk();
}
