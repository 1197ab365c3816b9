#include "view/feedback/RatingFlow.h"

#include "api/APIHandler.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QJsonObject>

#include <memory>
#include <utility>

namespace {

std::optional<RatingFlow::Intervals> s_testIntervals;
bool s_permissionPending = false;

void sendRating(const QString& qeltId, int rating)
{
    APIHandler::sendOcrFeedback(qeltId, rating, QJsonObject(), QString());
}

} // namespace

void RatingFlow::setIntervalsForTesting(std::optional<Intervals> intervals)
{
    s_testIntervals = intervals;
}

bool* RatingFlow::permissionPending()
{
    return &s_permissionPending;
}

RatingFlow::RatingFlow(QObject* parent) : QObject(parent), intervals(s_testIntervals.value_or(Intervals()))
{
    reasonTimer.setSingleShot(true);
    connect(&reasonTimer, &QTimer::timeout, this, &RatingFlow::sendAwaitedNow);
}

FeedbackEntry RatingFlow::entry(const QString& qeltId) const
{
    return ratings.value(qeltId);
}

void RatingFlow::setEntry(const QString& qeltId, const FeedbackEntry& entry)
{
    if (qeltId.isEmpty())
        return;
    ratings.insert(qeltId, entry);
    emit recordChanged();
}

void RatingFlow::setRecord(const QMap<QString, FeedbackEntry>& record)
{
    ratings = record;
}

void RatingFlow::rate(const QString& qeltId, int rating)
{
    if (qeltId.isEmpty())
        return;
    setEntry(qeltId, FeedbackEntry{rating, rating == 1});
    QTimer::singleShot(intervals.settleMs, this, [this, qeltId, rating] { emit settled(qeltId, rating); });
}

void RatingFlow::sendWhenPermitted(const QString& qeltId, int rating)
{
    if (!s_permissionPending) {
        sendRating(qeltId, rating);
        return;
    }
    auto* poll = new QTimer(this);
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    connect(poll, &QTimer::timeout, this,
            [poll, waited, qeltId, rating, limit = intervals.permissionWaitMs] {
                if (s_permissionPending && waited->elapsed() < limit)
                    return;
                if (s_permissionPending) {
                    // The change failed or is lost; the rating is not held back for ever, nor the next ones.
                    qWarning().noquote()
                        << "[QeltViewFrame] The image permission was not confirmed; rating sent anyway";
                    s_permissionPending = false;
                }
                poll->stop();
                poll->deleteLater();
                sendRating(qeltId, rating);
            });
    poll->start(intervals.permissionPollMs);
}

void RatingFlow::awaitReason(const QString& qeltId)
{
    if (reasonTimer.isActive())
        sendAwaitedNow();
    awaited = qeltId;
    reasonTimer.start(intervals.reasonMs);
}

void RatingFlow::sendAwaitedNow()
{
    reasonTimer.stop();
    if (awaited.isEmpty())
        return;
    sendRating(std::exchange(awaited, QString()), 0);
}

void RatingFlow::cancelAwaited(const QString& qeltId)
{
    if (qeltId.isEmpty() || qeltId != awaited)
        return;
    reasonTimer.stop();
    awaited.clear();
}
