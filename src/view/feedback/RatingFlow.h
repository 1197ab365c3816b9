#pragma once

#include "core/userState.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

// The ratings of the Qelts' recognition and their way to the service. A rating is recorded at the click,
// for the Qelt clicked, and settled a moment later; a thumbs-up then waits for a change of the image
// permission under way (a bounded time), a thumbs-down waits for its reason (the report) a while and
// goes out bare when none comes. GUI thread only.
class RatingFlow : public QObject
{
    Q_OBJECT

public:
    struct Intervals
    {
        int settleMs = 300;
        int reasonMs = 30000;
        int permissionPollMs = 100;
        int permissionWaitMs = 10000;
    };
    // For the flows made afterwards; nothing restores the product's.
    static void setIntervalsForTesting(std::optional<Intervals> intervals);

    // Set while a change of the image permission has not been accepted by the service. Process-wide, so
    // that a reply arriving after every page is gone still has a flag to clear.
    static bool* permissionPending();

    explicit RatingFlow(QObject* parent = nullptr);

    // The rating of `qeltId`: {-1, false} when it has none, without recording one.
    FeedbackEntry entry(const QString& qeltId) const;
    void setEntry(const QString& qeltId, const FeedbackEntry& entry);
    const QMap<QString, FeedbackEntry>& record() const { return ratings; }
    void setRecord(const QMap<QString, FeedbackEntry>& record);

    // A click: 1 thumbs-up, recorded as final; 0 thumbs-down, recorded as waiting for its reason.
    // settled follows after the settle interval.
    void rate(const QString& qeltId, int rating);
    // The rating goes out once no permission change is pending, or once the permission wait is over.
    void sendWhenPermitted(const QString& qeltId, int rating);

    // The thumbs-down of `qeltId` waits the reason interval for its report, then goes out bare. A wait
    // for another Qelt ends first, with that one's bare thumbs-down.
    void awaitReason(const QString& qeltId);
    // The awaited thumbs-down goes out bare now; nothing when none waits.
    void sendAwaitedNow();
    // The awaited thumbs-down of `qeltId` is not sent: its report replaces it. A wait for another Qelt
    // goes on.
    void cancelAwaited(const QString& qeltId);
    QString awaitedId() const { return awaited; }

signals:
    void settled(QString qeltId, int rating);
    void recordChanged();

private:
    Intervals intervals;
    QMap<QString, FeedbackEntry> ratings;
    QTimer reasonTimer;
    QString awaited;
};
