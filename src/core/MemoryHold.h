#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Keeps the memory that a capture gives back (the screens' pictures, 33 MB each on a 4K screen) for the
// next capture, which then finds it in place instead of faulting it in page by page, and hands all of it
// back to the system once no capture has run for a while: the idle program stays as small as before.
class MemoryHold : public QObject
{
    Q_OBJECT

public:
    static constexpr int kReleaseDelayMs = 2 * 60 * 1000;

    // Holds through the allocator (utils::keepFreedBlocks), and puts the first capture's memory in place
    // on every core at once.
    explicit MemoryHold(QObject* parent = nullptr);
    // Holds through the given steps instead; keep is told how many bytes the capture will want.
    MemoryHold(std::function<void(qint64 bytes)> keep, std::function<void()> giveBack,
               QObject* parent = nullptr);
    // Whatever is held goes back.
    ~MemoryHold() override;

    // A capture that wants about `bytes` of pictures begins: what is freed from now on stays.
    void hold(qint64 bytes);
    // The capture is over: unless another begins first, everything goes back after the release delay.
    void letGo();
    bool isHolding() const { return m_holding; }
    void setReleaseDelay(int ms);

private:
    void release();

    std::function<void(qint64)> m_keep;
    std::function<void()> m_giveBack;
    QTimer m_release;
    bool m_holding = false;
};
