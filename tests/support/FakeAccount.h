#pragma once

#include "support/FakeService.h"

#include <QDateTime>

#include <memory>

namespace zq::test {

// One Qelt as the fake account keeps it.
struct FakeQelt
{
    QString id;
    QString latex;
    QString text;
    QString status = QStringLiteral("completed");
    double confidence = 0.9;
    QDateTime createdAt;
    QDateTime modifiedAt;
    int renders = 1; // every edit renders anew, under a new image address
    bool deleted = false;
    int pendingFetches = 0; // a drawing's Qelt stays "processing" for this many more fetches

    // The Qelt object as the service writes it; the image addresses lie under baseUrl.
    QJsonObject json(const QString& baseUrl) const;
};

// The calls of the account whose answers a test can script.
enum class AccountCall { List, Create, Patch, Delete, DeleteAll, Search, Strokes, Fetch };

// The signed-in user's account on a FakeService: a set of Qelts that the service's Qelt routes serve and
// change. GET "/v1/qelts" lists, oldest change first, what changed after "modified_after" (deleted ones
// only with "include_deleted" = "true"); POST "/v1/qelts/text" creates "created1", "created2", ...;
// PATCH and DELETE "/v1/qelts/<id>" change one, DELETE "/v1/qelts" deletes all; POST "/v1/search/qelts"
// finds "query" in latex or text, any case, newest first. Every change happens one second after the one
// before on the account's own clock, which starts at 2024-01-01T00:00:00Z, so "modified_after" never
// depends on how fast a test runs. The routes share the account's state: they outlive the object.
class FakeAccount
{
public:
    explicit FakeAccount(FakeService& service);

    // A Qelt made on the service side (by another device, say); change its fields at will.
    FakeQelt& add(const QString& id, const QString& latex = QString(), const QString& text = QString());
    // The next drawings stay "processing" until they have been fetched this many times.
    void processDrawingsFor(int fetches);

    // Changes made on the service side, as PATCH and DELETE make them.
    void edit(const QString& id, const QString& latex, const QString& text);
    void remove(const QString& id);

    // The Qelt with this id, deleted or not; null when the account never held it.
    const FakeQelt* find(const QString& id) const;
    // The time of the latest change.
    QDateTime now() const;

    // The next `count` calls answer `status` with an error document whose id and message read
    // "scripted_failure", and change nothing; 200 makes it an error reported in a successful answer...
    void failNext(AccountCall call, int count, int status);
    // ...or drop the connection in the middle of the answer and change nothing...
    void closeNext(AccountCall call, int count);
    // ...or change what they change at once but answer only after `ms` milliseconds; never for a
    // negative `ms`, which keeps the call in flight until the client gives up...
    void delayNext(AccountCall call, int count, int ms);
    // ...or answer what they would, but with the status 302 and a Location elsewhere, and change nothing.
    void redirectNext(AccountCall call, int count);

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace zq::test
