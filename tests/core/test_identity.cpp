#include "core/identity.h"
#include "support/FakeService.h"
#include "support/TestMain.h"

#include <QRegularExpression>
#include <QSettings>

class TestIdentity : public QObject
{
    Q_OBJECT

    static QStringList allBaseUrls()
    {
        return {utils::webAppUrl(),        utils::apiUrl(),  utils::gatewayUrl(),
                utils::globalGatewayUrl(), utils::siteUrl(), utils::accountsUrl()};
    }

    static void setStaging(bool on) { QSettings().setValue(QStringLiteral("SetStagingAPI"), on); }

private slots:
    void init() { zq::test::clearSettings(); }

    void baseUrlsFollowTheStagingSettingAndTheTestOverride()
    {
        QCOMPARE(utils::appVersionString(), QString("Zorvane Qelt Linux App v03.00.0128"));
        const QStringList production = allBaseUrls();
        QCOMPARE(QSet<QString>(production.begin(), production.end()).size(), 6);
        for (const QString& url : production)
            QVERIFY2(QRegularExpression("^https://[a-z.]*zorvane.com$").match(url).hasMatch(),
                     qPrintable(url));
        setStaging(true); // taken with the next call
        QCOMPARE(utils::gatewayUrl(), utils::apiUrl());
        QCOMPARE(utils::globalGatewayUrl(), utils::apiUrl());
        QVERIFY(utils::webAppUrl() != utils::apiUrl() && utils::siteUrl() != utils::accountsUrl());
        for (const QString& url : allBaseUrls())
            QVERIFY2(url.startsWith("https://") && url.contains("staging") && !url.endsWith('/'),
                     qPrintable(url));
        zq::test::FakeService service;
        utils::overrideBaseUrlsForTesting(service.baseUrl() + "/");
        for (const QString& url : allBaseUrls())
            QCOMPARE(url, service.baseUrl());
        utils::overrideBaseUrlsForTesting(QString());
        setStaging(false);
        QCOMPARE(allBaseUrls(), production);
    }

    void deviceIdIsKeptWhenItHas32Characters_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("kept");
        QTest::newRow("nothing stored") << QString() << false;
        QTest::newRow("empty") << QString("") << false;
        QTest::newRow("uuid with dashes") << QString("123e4567-e89b-12d3-a456-426614174000") << false;
        QTest::newRow("31 characters") << QString(31, 'a') << false;
        QTest::newRow("32 hex digits") << QString("0123456789abcdef0123456789abcdef") << true;
        QTest::newRow("32 characters of any kind")
            << QString("ZZZZ ZZZZ ZZZZ ZZZZ ZZZZ ZZZZ ZZ!").left(32) << true;
    }

    void deviceIdIsKeptWhenItHas32Characters()
    {
        QFETCH(QString, stored);
        QFETCH(bool, kept);
        if (!stored.isNull())
            QSettings().setValue("userId", stored);
        const QString id = utils::deviceId();
        if (kept) {
            QCOMPARE(id, stored);
            return;
        }
        QVERIFY2(QRegularExpression("^[0-9a-f]{32}$").match(id).hasMatch(), qPrintable(id));
        QCOMPARE(QSettings().value("userId").toString(), id);
        QCOMPARE(utils::deviceId(), id);
    }
};

ZQ_TEST_MAIN(TestIdentity)
#include "test_identity.moc"
