#include "support/TestMain.h"

#include "api/eventStream.h"

#include <QBuffer>

using namespace ZorvaneAPI::eventStream;

class TestEventStream : public QObject
{
    Q_OBJECT

private slots:
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
        QCOMPARE(takeLastPayload(device), payload);
        QCOMPARE(device.readAll(), left);
    }

    void answerPayloads_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("text");
        const auto ok = int(PayloadError::None);
        QTest::newRow("text") << QByteArray(R"({"generative": {"type": "text", "data": "x = 2"}})") << ok
                              << QString("x = 2");
        QTest::newRow("empty text") << QByteArray(R"({"generative": {"type": "text", "data": ""}})") << ok
                                    << QString("");
        QTest::newRow("not json") << QByteArray("{\"generative\"") << int(PayloadError::NotJsonObject)
                                  << QString();
        QTest::newRow("array") << QByteArray("[1]") << int(PayloadError::NotJsonObject) << QString();
        QTest::newRow("no generative")
            << QByteArray(R"({"text": "x"})") << int(PayloadError::NoGenerativeObject) << QString();
        QTest::newRow("capital Text") << QByteArray(R"({"generative": {"type": "Text", "data": "x"}})")
                                      << int(PayloadError::UnsupportedType) << QString();
        QTest::newRow("numeric data") << QByteArray(R"({"generative": {"type": "text", "data": 5}})")
                                      << int(PayloadError::TextNotString) << QString();
    }

    void answerPayloads()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, error);
        QFETCH(QString, text);
        const Answer answer = parseAnswer(payload);
        QCOMPARE(int(answer.error), error);
        QCOMPARE(answer.text, text);
    }
};

ZQ_TEST_MAIN(TestEventStream)
#include "test_event_stream.moc"
