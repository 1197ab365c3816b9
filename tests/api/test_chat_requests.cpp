#include "ApiTestSupport.h"

#include "api/ChatResult.h"
#include "api/ClearChatHistoryRequest.h"
#include "api/GetChatHistoryRequest.h"
#include "api/Provider.h"
#include "api/SendMessageRequest.h"
#include "api/SendMessageResult.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace ZorvaneAPI;
using zq::test::Reply;
using zq::test::ScopedFakeService;

namespace {

QByteArray answerJson(const QString& type, const QJsonValue& data)
{
    return QJsonDocument(QJsonObject{{"generative", QJsonObject{{"type", type}, {"data", data}}}})
        .toJson(QJsonDocument::Compact);
}

// One complete server-sent event carrying the whole answer so far.
QByteArray sseEvent(const QString& answer)
{
    return "event: answer\ndata: " + answerJson("text", answer) + "\n\n";
}

QString exchangePart(const QString& text)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{"type", "text"}, {"data", text}}).toJson(QJsonDocument::Compact));
}

QJsonObject exchange(const QString& id)
{
    return QJsonObject{{"id", id},
                       {"query", exchangePart("q " + id)},
                       {"answer", exchangePart("a " + id)},
                       {"asked_at", "t1"},
                       {"answered_at", "t2"}};
}

QJsonObject rateLimitBody(const QString& id)
{
    return zq::test::errorsJson({id, "slow down"});
}

struct StreamRun
{
    QVector<std::shared_ptr<SendMessageResult>> partials;
    std::shared_ptr<SendMessageResult> final;
    int finalCount = 0;
};

} // namespace

// The chat about a Qelt: stored history, clearing it, and the streamed answer to a new question.
class TestChatRequests : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScopedFakeService> m_service;

    static std::shared_ptr<ChatResult> history(const QString& qeltId = QStringLiteral("q1"))
    {
        return zq::test::runRequest<ChatResult>(Provider::instance().getChatHistoryRequest(), qeltId);
    }

    static std::shared_ptr<Result> clear()
    {
        return zq::test::runRequest<Result>(Provider::instance().clearChatHistoryRequest(),
                                            QStringLiteral("q1"));
    }

    // Asks a question and collects every result up to and including the final one.
    StreamRun ask(const Reply& reply)
    {
        m_service->on("POST", "/v4/qelt-chat", reply);
        std::unique_ptr<SendMessageRequest> request(Provider::instance().sendMessageRequest());
        QSignalSpy spy(request.get(), &Request::finished);
        request->exec(QStringLiteral("q1"), QStringLiteral("x^2"), QStringLiteral("What is it?"));
        const auto isFinal = [](const ResultPtr& result) {
            return result->isCompleted() || result->hasError();
        };
        while (spy.isEmpty() || !isFinal(spy.last().first().value<ResultPtr>())) {
            if (!spy.wait(10000))
                break;
        }
        QCoreApplication::processEvents();
        StreamRun run;
        for (const auto& arguments : qAsConst(spy)) {
            auto result = std::dynamic_pointer_cast<SendMessageResult>(arguments.first().value<ResultPtr>());
            if (isFinal(result)) {
                run.final = result;
                ++run.finalCount;
            } else if (!run.final) {
                run.partials << result;
            }
        }
        return run;
    }

private slots:
    void init() { m_service = std::make_unique<ScopedFakeService>(QStringLiteral("t0k")); }

    void cleanup() { m_service.reset(); }

    void historyIsReadInOrder()
    {
        m_service->on("GET", "/v4/qelts/a/b/chat",
                      Reply::json(QJsonObject{{"data", QJsonArray{exchange("m1"), exchange("m2")}}}));
        // An id holding "/" is not encoded: it adds path segments.
        const auto result = history(QStringLiteral("a/b"));
        QVERIFY(result);
        QVERIFY(!result->hasError());
        QCOMPARE(result->messages.size(), 2);
        QCOMPARE(result->messages.at(0)->queryText, QString("q m1"));
        QCOMPARE(result->messages.at(1)->answerText, QString("a m2"));
        QCOMPARE(m_service->requests().value(0).header("authorization"), QByteArray("Bearer t0k"));
    }

    void badElementEndsTheHistory_data()
    {
        QTest::addColumn<QJsonValue>("data");
        QTest::addColumn<int>("kept");
        QTest::addColumn<QString>("warning");
        const auto around = [](const QJsonValue& bad) {
            return QJsonValue(QJsonArray{exchange("m1"), bad, exchange("m3")});
        };
        const QString invalid = "Received invalid results:";
        QTest::newRow("no id") << around(QJsonObject{{"query", exchangePart("q")}}) << 1 << invalid;
        QTest::newRow("numeric id") << around(QJsonObject{{"id", 3}}) << 1 << invalid;
        QTest::newRow("string element") << around("m9") << 1 << invalid;
        QTest::newRow("no data array")
            << QJsonValue(QJsonObject()) << 0 << "Response doesn't contain data array:";
    }

    void badElementEndsTheHistory()
    {
        QFETCH(QJsonValue, data);
        QFETCH(int, kept);
        QFETCH(QString, warning);
        m_service->on("GET", "/v4/qelts/q1/chat", Reply::json(QJsonObject{{"data", data}}));
        zq::test::expectWarning("GetChatHistoryRequest", warning);
        const auto result = history();
        QVERIFY(result);
        QVERIFY(!result->hasError());
        QCOMPARE(result->messages.size(), kept);
        if (kept)
            QCOMPARE(result->messages.first()->id, QString("m1"));
    }

    void rateLimitIsProbedOn403And429_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("errorId");
        QTest::addColumn<int>("errors");
        QTest::newRow("403 day limit") << 403 << "too_many_requests_day" << 1;
        QTest::newRow("429 minute limit") << 429 << "too_many_requests_minute" << 1;
        QTest::newRow("403 other id") << 403 << "forbidden" << 0;
        QTest::newRow("500 month limit") << 500 << "too_many_requests_month" << 0;
    }

    void rateLimitIsProbedOn403And429()
    {
        QFETCH(int, status);
        QFETCH(QString, errorId);
        QFETCH(int, errors);
        m_service->on("GET", "/v4/qelts/q1/chat", Reply::json(rateLimitBody(errorId), status));
        m_service->on("DELETE", "/v4/qelts/q1/chat", Reply::json(rateLimitBody(errorId), status));
        const auto result = history();
        QVERIFY(result);
        QVERIFY(result->networkError.isSet());
        QCOMPARE(result->errors.size(), errors);

        const auto cleared = clear();
        QVERIFY(cleared);
        QCOMPARE(cleared->errors.size(), errors);
    }

    void clearingWithEmptyBodySucceeds()
    {
        m_service->on("DELETE", "/v4/qelts/q1/chat", Reply::raw("", "application/json"));
        const auto result = clear();
        QVERIFY(result);
        QVERIFY(!result->hasError());
        const auto recorded = m_service->requests().value(0);
        QCOMPARE(recorded.method, QByteArray("DELETE"));
        QCOMPARE(recorded.header("authorization"), QByteArray("Bearer t0k"));
    }

    void redirectedClearIsNotSuccess_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("json object") << QByteArray("{}");
    }

    // The redirect is not followed, so the chat is still there, whatever the redirect's body says.
    void redirectedClearIsNotSuccess()
    {
        QFETCH(QByteArray, body);
        m_service->on("DELETE", "/v4/qelts/q1/chat",
                      Reply::raw(body, "application/json", 307)
                          .withHeader("Location", "https://elsewhere.example/v4/qelts/q1/chat"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^\\[ClearChatHistoryRequest\\] Redirect "
                                                              "not followed, HTTP status 307"));
        std::unique_ptr<ClearChatHistoryRequest> request(Provider::instance().clearChatHistoryRequest());
        QSignalSpy spy(request.get(), &Request::finished);
        request->exec(QStringLiteral("q1"));
        const auto result = zq::test::takeResult<Result>(spy);
        QVERIFY(result);
        QVERIFY(result->hasError());
        QVERIFY(result->networkError.isSet());
        QCOMPARE(m_service->requestCount(), 1);
    }

    void questionIsPostedAsJson()
    {
        const StreamRun run = ask(Reply::eventStream({sseEvent("x")}));
        QVERIFY(run.final);
        const auto recorded = m_service->requests().value(0);
        QCOMPARE(recorded.header("accept"), QByteArray("text/event-stream"));
        QCOMPARE(recorded.header("content-type"), QByteArray("application/json"));
        QCOMPARE(recorded.header("authorization"), QByteArray("Bearer t0k"));
        QCOMPARE(recorded.json(),
                 (QJsonObject{{"query", "What is it?"}, {"qelt_id", "q1"}, {"qelt_content", "x^2"}}));
    }

    void streamedAnswerKeepsTheLastGoodEvent_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<int>("partials"); // -1: at least one
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("warning");
        const QByteArray split = sseEvent("split answer");
        const int cut = split.indexOf("type") + 2;
        const auto then = [](const QByteArray& payload) {
            return QList<QByteArray>{sseEvent("first"), "data: " + payload + "\n\n"};
        };
        QTest::newRow("three events in one write")
            << QList<QByteArray>{sseEvent("a") + sseEvent("ab") + sseEvent("abc")} << 1 << "abc" << QString();
        QTest::newRow("growing over several writes")
            << QList<QByteArray>{sseEvent("a"), sseEvent("ab"), sseEvent("abc")} << -1 << "abc" << QString();
        QTest::newRow("line split across writes")
            << QList<QByteArray>{split.left(cut), split.mid(cut)} << 1 << "split answer" << QString();
        QTest::newRow("last line without line break")
            << QList<QByteArray>{sseEvent("first"), "data: " + answerJson("text", "second")} << -1 << "first"
            << QString();
        QTest::newRow("data without blank")
            << QList<QByteArray>{sseEvent("first"), "data:" + answerJson("text", "second") + "\n\n"} << 1
            << "first" << QString();
        QTest::newRow("empty stream") << QList<QByteArray>() << 0 << "" << QString();
        QTest::newRow("capital Text") << then(answerJson("Text", "second")) << 1 << "first"
                                      << "Answer type is not supported:";
        QTest::newRow("numeric data") << then(answerJson("text", 2)) << 1 << "first"
                                      << "Answer text field is not correct:";
        QTest::newRow("no generative") << then(R"({"text": "second"})") << 1 << "first"
                                       << "Invalid json body:";
        QTest::newRow("not json") << then("{second") << 1 << "first"
                                  << "Failed to parse json:";
    }

    void streamedAnswerKeepsTheLastGoodEvent()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(int, partials);
        QFETCH(QString, answer);
        QFETCH(QString, warning);
        if (!warning.isEmpty())
            zq::test::expectWarning("SendMessageRequest", warning);
        const StreamRun run = ask(Reply::eventStream(pieces, 20));
        if (partials < 0)
            QVERIFY(!run.partials.isEmpty());
        else
            QCOMPARE(run.partials.size(), partials);
        if (!run.partials.isEmpty())
            QCOMPARE(run.partials.last()->text, answer);
        QCOMPARE(run.finalCount, 1);
        QCOMPARE(run.final->text, answer);
        QVERIFY(run.final->isCompleted());
        QVERIFY(!run.final->hasError());
    }

    void errorStatusBodyIsNotReadAsStream_data()
    {
        QTest::addColumn<QJsonObject>("body");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("errors");
        QTest::newRow("message") << QJsonObject{{"message", "Daily chat limit reached"}}
                                 << "Daily chat limit reached" << 0;
        QTest::newRow("rate-limit id") << rateLimitBody("too_many_requests_day") << QString() << 1;
    }

    // The error body ends in a line break; read as a stream line it would be gone before the end.
    void errorStatusBodyIsNotReadAsStream()
    {
        QFETCH(QJsonObject, body);
        QFETCH(QString, message);
        QFETCH(int, errors);
        const StreamRun run = ask(Reply::raw(QJsonDocument(body).toJson(), "application/json", 429));
        QVERIFY(run.partials.isEmpty());
        QCOMPARE(run.finalCount, 1);
        QVERIFY(run.final->hasError());
        QVERIFY(!run.final->isCompleted());
        QCOMPARE(run.final->networkError.code, int(QNetworkReply::UnknownContentError));
        QCOMPARE(run.final->message, message);
        QCOMPARE(run.final->errors.size(), errors);
    }

    void redirectedQuestionGetsNoAnswer_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("events") << sseEvent("from elsewhere");
    }

    // Neither the end of a redirect nor events in its body may pass for the answer.
    void redirectedQuestionGetsNoAnswer()
    {
        QFETCH(QByteArray, body);
        Reply reply = Reply::raw(body, "text/event-stream", 302);
        reply.withHeader("Location", "https://elsewhere.example/v4/qelt-chat");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^\\[SendMessageRequest\\] Redirect not "
                                                              "followed, HTTP status 302"));
        const StreamRun run = ask(reply);
        QVERIFY(run.partials.isEmpty());
        QCOMPARE(run.finalCount, 1);
        QVERIFY(run.final->hasError());
        QVERIFY(run.final->networkError.isSet());
        QVERIFY(!run.final->isCompleted());
        QVERIFY(run.final->text.isEmpty());
        QCOMPARE(m_service->requestCount(), 1);
    }

    void failedStreamKeepsNoAnswer()
    {
        QByteArray stream = sseEvent("partial");
        const StreamRun run =
            ask(Reply::eventStream({stream, sseEvent("more")}, 20).closedAfter(stream.size() + 5));
        QCOMPARE(run.finalCount, 1);
        QVERIFY(run.final->hasError());
        QVERIFY(run.final->networkError.isSet());
        QVERIFY(!run.final->isCompleted());
    }
};

ZQ_TEST_MAIN(TestChatRequests)
#include "test_chat_requests.moc"
