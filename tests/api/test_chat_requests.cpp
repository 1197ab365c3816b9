#include "ApiTestSupport.h"

#include "api/ChatResult.h"
#include "api/ClearChatHistoryRequest.h"
#include "api/GetChatHistoryRequest.h"
#include "api/SendMessageRequest.h"
#include "api/SendMessageResult.h"
#include "api/eventStream.h"
#include "support/TestMain.h"

#include <QBuffer>

using namespace ZorvaneAPI;
using zq::test::Reply;
using zq::test::ScopedFakeService;

Q_DECLARE_METATYPE(zq::test::Reply)

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

QJsonObject exchange(const QString& id)
{
    const auto part = [](const QString& text) {
        return QString(
            QJsonDocument(QJsonObject{{"type", "text"}, {"data", text}}).toJson(QJsonDocument::Compact));
    };
    return QJsonObject{{"id", id}, {"query", part("q " + id)}, {"answer", part("a " + id)}};
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
            if (!spy.wait(zq::test::kWaitMs))
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

    void lastDataLineOfTheBatchWins_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("left");
        QTest::newRow("three events")
            << QByteArray("data: 1\n\ndata: 2\n\ndata: 3\n\n") << QByteArray("3") << QByteArray();
        QTest::newRow("incomplete last line stays")
            << QByteArray("data: 1\ndata: 2") << QByteArray("1") << QByteArray("data: 2");
        QTest::newRow("no blank after colon")
            << QByteArray("data: 1\ndata:2\n") << QByteArray("1") << QByteArray();
        QTest::newRow("other fields")
            << QByteArray("event: answer\nid: 4\n: comment\n") << QByteArray() << QByteArray();
        QTest::newRow("surrounding white space and CRLF")
            << QByteArray("  data: {\"a\": 1}  \r\n\r\n") << QByteArray("{\"a\": 1}") << QByteArray();
        QTest::newRow("empty data line is no payload")
            << QByteArray("data: 1\ndata: \n") << QByteArray("1") << QByteArray();
    }

    void lastDataLineOfTheBatchWins()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, left);
        QBuffer device(&stream);
        QVERIFY(device.open(QIODevice::ReadOnly));
        QCOMPARE(eventStream::takeLastPayload(device), payload);
        QCOMPARE(device.readAll(), left);
    }

    void historyIsReadInOrderUpToABadElement_data()
    {
        QTest::addColumn<QJsonValue>("data");
        QTest::addColumn<int>("kept");
        QTest::addColumn<QString>("warning");
        const auto around = [](const QJsonValue& bad) {
            return QJsonValue(QJsonArray{exchange("m1"), bad, exchange("m3")});
        };
        QTest::newRow("good") << QJsonValue(QJsonArray{exchange("m1"), exchange("m2")}) << 2 << QString();
        QTest::newRow("numeric id") << around(QJsonObject{{"id", 3}}) << 1 << "Received invalid results:";
        QTest::newRow("string element") << around("m9") << 1 << "Received invalid results:";
        QTest::newRow("no data array")
            << QJsonValue(QJsonObject()) << 0 << "Response doesn't contain data array:";
    }

    void historyIsReadInOrderUpToABadElement()
    {
        QFETCH(QJsonValue, data);
        QFETCH(int, kept);
        QFETCH(QString, warning);
        // An id holding "/" is not encoded: it adds path segments.
        m_service->on("GET", "/v4/qelts/a/b/chat", Reply::json(QJsonObject{{"data", data}}));
        if (!warning.isEmpty())
            zq::test::expectWarning("GetChatHistoryRequest", warning);
        const auto result =
            zq::test::runRequest<ChatResult>(Provider::instance().getChatHistoryRequest(), QString("a/b"));
        QVERIFY(result && !result->hasError());
        QCOMPARE(result->messages.size(), kept);
        if (kept)
            QCOMPARE(result->messages.first()->queryText, QString("q m1"));
        if (kept > 1)
            QCOMPARE(result->messages.at(1)->answerText, QString("a m2"));
    }

    void clearSucceedsOnlyWithoutRedirect_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("empty body") << 200 << QByteArray();
        QTest::newRow("redirect, json object") << 307 << QByteArray("{}");
    }

    // A redirect is not followed, so the chat is still there, whatever the redirect's body says.
    void clearSucceedsOnlyWithoutRedirect()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        m_service->on(
            "DELETE", "/v4/qelts/q1/chat",
            Reply::raw(body, "application/json", status).withHeader("Location", "https://x.example/"));
        if (status != 200)
            zq::test::expectWarning("ClearChatHistoryRequest", "Redirect not followed, HTTP status 307");
        const auto result =
            zq::test::runRequest<Result>(Provider::instance().clearChatHistoryRequest(), QString("q1"));
        QVERIFY(result);
        QCOMPARE(result->hasError(), status != 200);
        QCOMPARE(m_service->requestCount(), 1);
        QCOMPARE(m_service->requests().value(0).method, QByteArray("DELETE"));
    }

    // Every question ends in one final result; the partial ones before it grow the answer.
    void questionEndsInOneFinalResult_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<int>("partials"); // -1: at least one
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("failure"); // the final's message, "error" for none, "ids" for errors
        const QString none;
        const QByteArray split = sseEvent("split answer");
        const int cut = split.indexOf("type") + 2;
        const auto then = [](const QByteArray& payload) {
            return Reply::eventStream({sseEvent("first"), "data: " + payload + "\n\n"}, 20);
        };
        // The error body ends in a line break; read as a stream line it would be gone before the end.
        const auto refused = [](const QJsonObject& body) {
            return Reply::raw(QJsonDocument(body).toJson(), "application/json", 429);
        };
        const auto stream = [](const QList<QByteArray>& pieces) { return Reply::eventStream(pieces, 20); };
        QTest::newRow("three events in one write")
            << stream({sseEvent("a") + sseEvent("ab") + sseEvent("abc")}) << none << 1 << "abc" << none;
        QTest::newRow("growing over several writes")
            << stream({sseEvent("a"), sseEvent("ab"), sseEvent("abc")}) << none << -1 << "abc" << none;
        QTest::newRow("line split across writes")
            << stream({split.left(cut), split.mid(cut)}) << none << 1 << "split answer" << none;
        QTest::newRow("last line without line break")
            << stream({sseEvent("first"), "data: " + answerJson("text", "second")}) << none << -1 << "first"
            << none;
        QTest::newRow("empty stream") << stream({}) << none << 0 << none << none;
        QTest::newRow("capital Text")
            << then(answerJson("Text", "second")) << "Answer type is not supported:" << 1 << "first" << none;
        QTest::newRow("numeric data")
            << then(answerJson("text", 2)) << "Answer text field is not correct:" << 1 << "first" << none;
        QTest::newRow("no generative")
            << then(R"({"text": "second"})") << "Invalid json body:" << 1 << "first" << none;
        QTest::newRow("not json") << then("{second") << "Failed to parse json:" << 1 << "first" << none;
        QTest::newRow("refused with a message") << refused({{"message", "Daily chat limit reached"}})
                                                << "Net error:" << 0 << none << "Daily chat limit reached";
        QTest::newRow("rate-limit id") << refused(zq::test::errorsJson({"too_many_requests_day", "m"}))
                                       << "Found 429." << 0 << none << "ids";
        QTest::newRow("redirect with events")
            << Reply::raw(sseEvent("elsewhere"), "text/event-stream", 302)
                   .withHeader("Location", "https://x.example/")
            << "Redirect not followed, HTTP status 302" << 0 << none << "error";
        QTest::newRow("stream cut short")
            << stream({sseEvent("partial"), sseEvent("more")}).closedAfter(sseEvent("partial").size() + 5)
            << none << -1 << "partial"
            << "error";
    }

    void questionEndsInOneFinalResult()
    {
        QFETCH(Reply, reply);
        QFETCH(QString, warning);
        QFETCH(int, partials);
        QFETCH(QString, answer);
        QFETCH(QString, failure);
        if (!warning.isEmpty())
            zq::test::expectWarning("SendMessageRequest", warning);
        if (failure == "ids")
            QTest::ignoreMessage(QtInfoMsg, "[SendMessageRequest] \"m\"");
        const StreamRun run = ask(reply);
        if (partials < 0)
            QVERIFY(!run.partials.isEmpty());
        else
            QCOMPARE(run.partials.size(), partials);
        if (!run.partials.isEmpty())
            QCOMPARE(run.partials.last()->text, answer);
        QCOMPARE(run.finalCount, 1);
        QCOMPARE(run.final->isCompleted(), failure.isEmpty());
        QCOMPARE(run.final->hasError() && run.final->networkError.isSet(), !failure.isEmpty());
        QCOMPARE(run.final->errors.size(), failure == "ids" ? 1 : 0);
        if (failure.isEmpty())
            QCOMPARE(run.final->text, answer);
        else if (failure != "ids" && failure != "error")
            QCOMPARE(run.final->message, failure);
        const auto recorded = m_service->requests().value(0);
        QCOMPARE(recorded.header("accept") + recorded.header("content-type"),
                 QByteArray("text/event-streamapplication/json"));
        QCOMPARE(recorded.json(),
                 (QJsonObject{{"query", "What is it?"}, {"qelt_id", "q1"}, {"qelt_content", "x^2"}}));
    }
};

ZQ_TEST_MAIN(TestChatRequests)
#include "test_chat_requests.moc"
