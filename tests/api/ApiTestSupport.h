#pragma once

#include "api/Provider.h"
#include "api/Request.h"
#include "api/Result.h"
#include "core/identity.h"
#include "support/FakeService.h"
#include "support/TestEnvironment.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace zq::test {

// The fake service of one test function: while it lives, the base URLs lead to it and the provider
// hands out requests with providerToken; both are undone when it goes.
class ScopedFakeService : public FakeService
{
public:
    explicit ScopedFakeService(const QString& providerToken = QString())
        : m_previousToken(ZorvaneAPI::Provider::instance().token())
    {
        utils::overrideBaseUrlsForTesting(baseUrl());
        ZorvaneAPI::Provider::instance().setToken(providerToken);
    }

    ~ScopedFakeService() override
    {
        ZorvaneAPI::Provider::instance().setToken(m_previousToken);
        utils::overrideBaseUrlsForTesting(QString());
    }

private:
    QString m_previousToken;
};

// A Qelt object as the service writes it.
inline QJsonObject qeltJson(const QString& id = QStringLiteral("AB12"),
                            const QString& status = QStringLiteral("completed"))
{
    return QJsonObject{{"id", id},
                       {"status", status},
                       {"latex", "x^2"},
                       {"text", "$x^2$"},
                       {"confidence", 0.93},
                       {"created_at", "2024-03-01T10:00:00Z"},
                       {"modified_at", "2024-03-01T10:05:00Z"}};
}

// Waits for the one finished of a request (or repeater) and hands back its result, cast; none when
// it finished more than once, also when the event loop turns a while longer.
template <typename ResultType> std::shared_ptr<ResultType> takeResult(QSignalSpy& spy)
{
    if (!spy.wait(zq::test::kWaitMs) && spy.isEmpty())
        return nullptr;
    QCoreApplication::processEvents();
    if (spy.count() != 1)
        return nullptr;
    return std::dynamic_pointer_cast<ResultType>(spy.first().first().value<ZorvaneAPI::ResultPtr>());
}

// Runs a request (taking ownership of it) to its one finished and hands back the result, cast.
template <typename ResultType, typename RequestType, typename... Args>
std::shared_ptr<ResultType> runRequest(RequestType* request, Args&&... args)
{
    std::unique_ptr<RequestType> owner(request);
    QSignalSpy spy(request, &ZorvaneAPI::Request::finished);
    request->exec(std::forward<Args>(args)...);
    return takeResult<ResultType>(spy);
}

// Expects one warning of a class's log that starts with the given text.
inline void expectWarning(const QString& className, const QString& start)
{
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("^\\[" + className + "\\] " + QRegularExpression::escape(start)));
}

// A service error body: {"errors": [{"id": id, "message": message}, ...]} from id, message pairs.
inline QJsonObject errorsJson(const QStringList& idsAndMessages)
{
    QJsonArray errors;
    for (int i = 0; i + 1 < idsAndMessages.size(); i += 2)
        errors.append(QJsonObject{{"id", idsAndMessages[i]}, {"message", idsAndMessages[i + 1]}});
    return QJsonObject{{"errors", errors}};
}

} // namespace zq::test
