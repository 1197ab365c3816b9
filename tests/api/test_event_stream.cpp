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
};

ZQ_TEST_MAIN(TestEventStream)
#include "test_event_stream.moc"
