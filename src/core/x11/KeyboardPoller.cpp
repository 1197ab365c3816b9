#include "core/x11/KeyboardPoller.h"

#include "core/x11/heldKeys.h"

#include <QX11Info>

KeyboardPoller::KeyboardPoller(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(kDefaultIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &KeyboardPoller::poll);
}

bool KeyboardPoller::isAvailable()
{
    return QX11Info::isPlatformX11() && QX11Info::display();
}

int KeyboardPoller::baseKeyOfScanCode(quint32 scanCode)
{
    return isAvailable() ? utils::shortcuts::baseKeyOfKeycode(QX11Info::display(), scanCode) : 0;
}

void KeyboardPoller::start()
{
    if (!isAvailable())
        return;
    // Keys already held when listening starts (the click's modifier, say) are not news.
    m_last = utils::shortcuts::heldCombination(QX11Info::display());
    m_timer.start();
}

void KeyboardPoller::stop()
{
    m_timer.stop();
}

void KeyboardPoller::poll()
{
    const utils::shortcuts::Shortcut now = utils::shortcuts::heldCombination(QX11Info::display());
    if (now == m_last)
        return;
    m_last = now;
    emit held(now);
}
