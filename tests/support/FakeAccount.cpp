#include "support/FakeAccount.h"

#include <QJsonArray>
#include <QMap>

#include <algorithm>
#include <tuple>

namespace zq::test {

namespace {

struct Fault
{
    int status = 0;
    bool close = false;
    int delayMs = 0;
    bool redirect = false;
};

Reply error(int status, const QString& id)
{
    const QJsonObject failure{{"id", id}, {"message", id}};
    return Reply::json(QJsonObject{{"errors", QJsonArray{failure}}}, status);
}

} // namespace

QJsonObject FakeQelt::json(const QString& baseUrl) const
{
    const auto image = [&](const QString& name) {
        const QString url = QStringLiteral("%1/images/%2/%3.png").arg(baseUrl, id, name);
        return QJsonObject{{"fullsize", QJsonObject{{"url", url}}}};
    };
    const QJsonObject images{{"original", image("original")},
                             {"rendered", image(QStringLiteral("rendered-%1").arg(renders))}};
    return QJsonObject{{"id", id},
                       {"status", status},
                       {"latex", latex},
                       {"text", text},
                       {"confidence", confidence},
                       {"created_at", createdAt.toString(Qt::ISODate)},
                       {"modified_at", modifiedAt.toString(Qt::ISODate)},
                       {"deleted", deleted},
                       {"images", images}};
}

struct FakeAccount::State
{
    QString baseUrl;
    QMap<QString, FakeQelt> qelts; // by lower-case id: the client asks in lower case whatever it was sent
    QDateTime clock = QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    int created = 0;
    int drawn = 0;
    int drawingFetches = 0;
    QHash<int, QVector<Fault>> faults;

    QDateTime tick() { return clock = clock.addSecs(1); }

    FakeQelt* live(const QString& id)
    {
        auto it = qelts.find(id.toLower());
        return it == qelts.end() || it->deleted ? nullptr : &*it;
    }

    FakeQelt& add(const QString& id, const QString& latex, const QString& text)
    {
        const QDateTime now = tick();
        FakeQelt& qelt = qelts[id.toLower()] =
            FakeQelt{id, latex, text, QStringLiteral("completed"), 0.9, now, now};
        return qelt;
    }

    void edit(FakeQelt& qelt, const QString& latex, const QString& text)
    {
        qelt.latex = latex;
        qelt.text = text;
        qelt.modifiedAt = tick();
        ++qelt.renders;
    }

    void remove(FakeQelt& qelt)
    {
        qelt.deleted = true;
        qelt.modifiedAt = tick();
    }

    Reply answer(AccountCall call, Reply (State::*handle)(const RecordedRequest&),
                 const RecordedRequest& request)
    {
        QVector<Fault>& script = faults[int(call)];
        const Fault fault = script.isEmpty() ? Fault() : script.takeFirst();
        if (fault.status)
            return error(fault.status, "scripted_failure");
        if (fault.close)
            return error(200, "cut_short").closedAfter(0);
        if (fault.redirect) {
            const auto kept = std::make_tuple(qelts, clock, created);
            Reply reply = (this->*handle)(request);
            std::tie(qelts, clock, created) = kept;
            reply.status = 302;
            return reply.withReason("Found").withHeader("Location", (baseUrl + "/moved").toUtf8());
        }
        Reply reply = (this->*handle)(request).withDelay(std::max(fault.delayMs, 0));
        reply.noAnswer = fault.delayMs < 0;
        return reply;
    }

    Reply list(const RecordedRequest& request)
    {
        QDateTime after;
        if (!request.queryItem("modified_after").isEmpty()) {
            after = QDateTime::fromString(request.queryItem("modified_after"), Qt::ISODate);
            if (!after.isValid())
                return error(400, "invalid_modified_after");
        }
        const bool withDeleted = request.queryItem("include_deleted") == "true";
        QList<FakeQelt> changed;
        for (const FakeQelt& qelt : qelts) {
            if ((withDeleted || !qelt.deleted) && (after.isNull() || qelt.modifiedAt > after))
                changed.append(qelt);
        }
        std::sort(changed.begin(), changed.end(),
                  [](const FakeQelt& a, const FakeQelt& b) { return a.modifiedAt < b.modifiedAt; });
        QJsonArray array;
        for (const FakeQelt& qelt : changed)
            array.append(qelt.json(baseUrl));
        return Reply::json(QJsonObject{{"qelts", array}});
    }

    Reply create(const RecordedRequest& request)
    {
        const QString latex = request.json().value("latex").toString();
        const QString text = request.json().value("text").toString();
        if (latex.isEmpty() && text.isEmpty())
            return error(400, "empty_qelt");
        const QString id = QStringLiteral("created%1").arg(++created);
        return Reply::json(add(id, latex, text).json(baseUrl))
            .withHeader("zorvane-request-id", "request-" + id.toUtf8());
    }

    Reply strokes(const RecordedRequest& request)
    {
        const QJsonObject body = request.json();
        const QJsonArray xs = body.value("strokes").toObject().value("x").toArray();
        const QJsonArray ys = body.value("strokes").toObject().value("y").toArray();
        if (!body.value("strokes").isObject() || xs.size() != ys.size() ||
            body.value("config").toObject().value("zmd_version").toString().isEmpty())
            return error(400, "invalid_strokes");
        int points = 0;
        for (int i = 0; i < xs.size(); ++i) {
            if (!xs[i].isArray() || !ys[i].isArray() || xs[i].toArray().size() != ys[i].toArray().size())
                return error(400, "invalid_strokes");
            for (const QJsonArray& coordinates : {xs[i].toArray(), ys[i].toArray()}) {
                for (const QJsonValue& value : coordinates) {
                    if (!value.isDouble())
                        return error(400, "invalid_strokes");
                }
            }
            points += xs[i].toArray().size();
        }
        const QString latex =
            points ? QStringLiteral("strokes %1, points %2").arg(xs.size()).arg(points) : "";
        FakeQelt& qelt =
            add(QStringLiteral("drawn%1").arg(++drawn), latex, latex.isEmpty() ? "" : "$" + latex + "$");
        qelt.pendingFetches = drawingFetches;
        qelt.status = qelt.pendingFetches > 0 ? "processing" : "completed";
        return Reply::json(qelt.json(baseUrl))
            .withHeader("zorvane-request-id", "request-" + qelt.id.toUtf8());
    }

    Reply fetch(const RecordedRequest& request)
    {
        FakeQelt* qelt = live(request.path.section('/', 3));
        if (!qelt)
            return error(404, "qelt_not_found");
        if (qelt->pendingFetches > 0 && --qelt->pendingFetches == 0)
            qelt->status = "completed";
        return Reply::json(qelt->json(baseUrl));
    }

    Reply patch(const RecordedRequest& request)
    {
        FakeQelt* qelt = live(request.path.section('/', 3));
        const QJsonObject body = request.json();
        if (!qelt)
            return error(404, "qelt_not_found");
        if (!body.value("latex").isString() || !body.value("text").isString())
            return error(400, "invalid_body");
        edit(*qelt, body.value("latex").toString(), body.value("text").toString());
        return Reply::json(qelt->json(baseUrl));
    }

    Reply deleteOne(const RecordedRequest& request)
    {
        FakeQelt* qelt = live(request.path.section('/', 3));
        if (!qelt)
            return error(404, "qelt_not_found");
        remove(*qelt);
        return Reply::json(QJsonObject());
    }

    Reply deleteAll(const RecordedRequest&)
    {
        for (FakeQelt& qelt : qelts) {
            if (!qelt.deleted)
                remove(qelt);
        }
        return Reply::json(QJsonObject());
    }

    Reply search(const RecordedRequest& request)
    {
        const QString query = request.json().value("query").toString();
        const int size = request.json().value("size").toInt(-1);
        const int from = request.json().value("from").toInt(-1);
        if (query.isEmpty() || size < 0 || from < 0)
            return error(400, "invalid_search");
        QList<FakeQelt> found;
        for (const FakeQelt& qelt : qelts) {
            if (!qelt.deleted && (qelt.latex.contains(query, Qt::CaseInsensitive) ||
                                  qelt.text.contains(query, Qt::CaseInsensitive)))
                found.append(qelt);
        }
        // Newest first, as a search result page shows them.
        std::sort(found.begin(), found.end(), [](const FakeQelt& a, const FakeQelt& b) {
            return a.createdAt != b.createdAt ? a.createdAt > b.createdAt : a.id > b.id;
        });
        QJsonArray hits;
        for (const FakeQelt& qelt : found.mid(from, size))
            hits.append(QJsonObject{{"_id", qelt.id}, {"_source", qelt.json(baseUrl)}});
        return Reply::json(QJsonObject{{"results", found.size()}, {"hits", hits}});
    }
};

FakeAccount::FakeAccount(FakeService& service) : m_state(std::make_shared<State>())
{
    m_state->baseUrl = service.baseUrl();
    const auto route = [&](const QByteArray& method, const QString& path, AccountCall call,
                           Reply (State::*handle)(const RecordedRequest&)) {
        service.on(method, path, [state = m_state, call, handle](const RecordedRequest& request) {
            return state->answer(call, handle, request);
        });
    };
    route("GET", "/v1/qelts", AccountCall::List, &State::list);
    route("POST", "/v1/qelts/text", AccountCall::Create, &State::create);
    route("PATCH", "/v1/qelts/*", AccountCall::Patch, &State::patch);
    route("DELETE", "/v1/qelts/*", AccountCall::Delete, &State::deleteOne);
    route("DELETE", "/v1/qelts", AccountCall::DeleteAll, &State::deleteAll);
    route("POST", "/v1/search/qelts", AccountCall::Search, &State::search);
    route("POST", "/v1/qelts/strokes", AccountCall::Strokes, &State::strokes);
    route("GET", "/v1/qelts/*", AccountCall::Fetch, &State::fetch);
}

void FakeAccount::processDrawingsFor(int fetches)
{
    m_state->drawingFetches = fetches;
}

FakeQelt& FakeAccount::add(const QString& id, const QString& latex, const QString& text)
{
    return m_state->add(id, latex, text);
}

void FakeAccount::edit(const QString& id, const QString& latex, const QString& text)
{
    if (FakeQelt* qelt = m_state->live(id))
        m_state->edit(*qelt, latex, text);
}

void FakeAccount::remove(const QString& id)
{
    if (FakeQelt* qelt = m_state->live(id))
        m_state->remove(*qelt);
}

const FakeQelt* FakeAccount::find(const QString& id) const
{
    auto it = m_state->qelts.constFind(id.toLower());
    return it == m_state->qelts.constEnd() ? nullptr : &*it;
}

QDateTime FakeAccount::now() const
{
    return m_state->clock;
}

void FakeAccount::failNext(AccountCall call, int count, int status)
{
    m_state->faults[int(call)] += QVector<Fault>(count, Fault{status, false, 0});
}

void FakeAccount::closeNext(AccountCall call, int count)
{
    m_state->faults[int(call)] += QVector<Fault>(count, Fault{0, true, 0});
}

void FakeAccount::delayNext(AccountCall call, int count, int ms)
{
    m_state->faults[int(call)] += QVector<Fault>(count, Fault{0, false, ms});
}

void FakeAccount::redirectNext(AccountCall call, int count)
{
    m_state->faults[int(call)] += QVector<Fault>(count, Fault{0, false, 0, true});
}

} // namespace zq::test
