#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QeltsController;

// Saves the library every five minutes while a user is signed in, so that a crash loses little.
class SaveTimer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 300000;

    SaveTimer(QeltsController& library, std::function<bool()> signedIn, QObject* parent,
              int intervalMs = kIntervalMs);

private:
    void onTimeout();

    QeltsController& m_library;
    std::function<bool()> m_signedIn;
    QTimer m_timer;
};
