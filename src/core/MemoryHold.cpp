#include "core/MemoryHold.h"

#include "core/memory.h"

#include <utility>

MemoryHold::MemoryHold(QObject* parent)
    : MemoryHold(
          [](qint64 bytes) {
              utils::keepFreedBlocks();
              utils::faultInFreeMemory(bytes);
          },
          [] {
              utils::returnLargeBlocksWhenFreed();
              utils::releaseFreedMemory();
          },
          parent)
{
}

MemoryHold::MemoryHold(std::function<void(qint64)> keep, std::function<void()> giveBack, QObject* parent)
    : QObject(parent), m_keep(std::move(keep)), m_giveBack(std::move(giveBack))
{
    m_release.setSingleShot(true);
    m_release.setInterval(kReleaseDelayMs);
    connect(&m_release, &QTimer::timeout, this, &MemoryHold::release);
}

MemoryHold::~MemoryHold()
{
    if (m_holding)
        m_giveBack();
}

void MemoryHold::hold(qint64 bytes)
{
    m_release.stop();
    // Held already, the memory of the last capture is in place.
    if (std::exchange(m_holding, true))
        return;
    m_keep(bytes);
}

void MemoryHold::letGo()
{
    if (m_holding)
        m_release.start();
}

void MemoryHold::setReleaseDelay(int ms)
{
    m_release.setInterval(ms);
    if (m_release.isActive())
        m_release.start();
}

void MemoryHold::release()
{
    m_holding = false;
    m_giveBack();
}
