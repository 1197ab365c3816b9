// The ground of the end-to-end run, proven with the product's own libraries and no switch of theirs: the
// service's real host names lead over trusted HTTPS to the fake, the fake records what it is sent and
// plays the browser sign-in, and a URL opened through the desktop reaches its handler. Each function is
// one step of the harness, so a failure names the step that broke.

#include "E2eHarness.h"

#include "api/APIHandler.h"
#include "api/CreateQeltRequest.h"
#include "api/GenerateLoginProcessIdRequest.h"
#include "api/GetLoginProcessStatusRequest.h"
#include "api/GetQeltRequest.h"
#include "api/LoginIdResult.h"
#include "api/LoginProcessResult.h"
#include "api/Provider.h"
#include "api/QeltResult.h"
#include "api/http.h"
#include "core/identity.h"
#include "core/settings.h"
#include "model/ZorvaneQelt.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QBuffer>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QImage>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QUuid>
#include <QtTest>

#include <memory>

using namespace zq::test;

namespace {

// A finished reply, or null when none came in time.
std::unique_ptr<QNetworkReply> finished(QNetworkReply* reply)
{
    std::unique_ptr<QNetworkReply> owned(reply);
    if (!reply->isFinished())
        QSignalSpy(reply, &QNetworkReply::finished).wait(kWaitMs);
    return reply->isFinished() ? std::move(owned) : nullptr;
}

// The one result of a request object of the product.
template <typename Result, typename Request> std::shared_ptr<Result> resultOf(Request* request)
{
    std::unique_ptr<Request> owned(request);
    QSignalSpy spy(request, &Request::finished);
    return spy.wait(kWaitMs)
               ? std::dynamic_pointer_cast<Result>(spy.first().first().value<ZorvaneAPI::ResultPtr>())
               : nullptr;
}

QByteArray decoded(const QJsonValue& base64)
{
    return QByteArray::fromBase64(base64.toString().toLatin1());
}

QByteArray header(const QJsonObject& request, const char* name)
{
    return request.value("headers").toObject().value(QLatin1String(name)).toString().toUtf8();
}

} // namespace

class TestE2eHarness : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!e2e::skipReason().isEmpty())
            QSKIP(qPrintable(e2e::skipReason()));
        qInfo("Harness came up in %s ms", qgetenv("ZQ_E2E_STARTUP_MS").constData());
        ZorvaneAPI::Provider::instance().setToken(e2e::kToken);
    }

    void sessionIsFreshAndPrivate()
    {
        const QString dir = qEnvironmentVariable("ZQ_E2E_DIR");
        QVERIFY2(QDir::homePath().startsWith(dir), "HOME is not the run's own");
        QVERIFY2(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation).startsWith(dir),
                 "the data folder is not under the run's HOME");
        QVERIFY2(!QFile::exists(QSettings().fileName()), "the settings are not a new user's");
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "no session bus");
        QVERIFY2(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").contains(dir), "the session bus is shared");
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }

    void trayHostIsPresent() { QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), kWaitMs); }

    void networkCountsAsAvailable()
    {
        QVERIFY2(APIHandler::isNetworkAvailable(), "no non-loopback interface is up with an address");
    }

    // Every host the product talks to, production and staging, reaches the fake over verified TLS,
    // and a request built by the product's HTTP helpers arrives with its token and User-Agent.
    void hostReachedOverTrustedHttps_data()
    {
        QTest::addColumn<bool>("staging");
        QTest::addColumn<QString>("base");
        for (const bool staging : {false, true}) {
            kKeySetStagingAPI.set(staging);
            const QString prefix = staging ? "staging " : "";
            QTest::newRow(qPrintable(prefix + "api")) << staging << utils::apiUrl();
            QTest::newRow(qPrintable(prefix + "gateway")) << staging << utils::gatewayUrl();
            QTest::newRow(qPrintable(prefix + "global gateway")) << staging << utils::globalGatewayUrl();
            QTest::newRow(qPrintable(prefix + "site")) << staging << utils::siteUrl();
            QTest::newRow(qPrintable(prefix + "accounts")) << staging << utils::accountsUrl();
            QTest::newRow(qPrintable(prefix + "web app")) << staging << utils::webAppUrl();
        }
        kKeySetStagingAPI.set(false);
    }

    void hostReachedOverTrustedHttps()
    {
        QFETCH(QString, base);
        QVERIFY(base.startsWith("https://"));
        const QString marker = QUuid::createUuid().toString(QUuid::WithoutBraces);
        auto reply = finished(ZorvaneAPI::Provider::instance().networkAccessManager()->get(
            ZorvaneAPI::http::authorizedRequest(base + "/v1/user?probe=" + marker, e2e::kToken)));
        QVERIFY2(reply, qPrintable("no answer from " + base));
        QVERIFY2(reply->error() == QNetworkReply::NoError,
                 qPrintable(base + " over TLS: " + reply->errorString()));

        const auto requests = e2e::recordedRequests("GET", "/v1/user");
        QVERIFY2(!requests.isEmpty() && requests.last().value("query").toString().contains(marker),
                 "the fake did not record the request");
        QCOMPARE(requests.last().value("host").toString(), QUrl(base).host());
        QCOMPARE(header(requests.last(), "authorization"), "Bearer " + e2e::kToken.toUtf8());
        QCOMPARE(header(requests.last(), "user-agent"), utils::appVersionString().toUtf8());
    }

    void wrongTokenIsRefused()
    {
        auto reply = finished(ZorvaneAPI::Provider::instance().networkAccessManager()->get(
            ZorvaneAPI::http::authorizedRequest(utils::apiUrl() + "/v1/user/settings", "stale-token")));
        QVERIFY(reply);
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 401);
    }

    // The browser sign-in as the program will run it: the login process opened on the service, the
    // accounts page handed to the desktop, the browser's visit (played here) completing it.
    void browserSignInCompletesThroughTheDesktopHandler()
    {
        const QString clientId = QUuid::createUuid().toString();
        auto* open = ZorvaneAPI::Provider::instance().generateLoginProcessIdRequest();
        open->exec(clientId);
        auto login = resultOf<ZorvaneAPI::LoginIdResult>(open);
        QVERIFY2(login && !login->hasError(), "the login process was not opened");
        const auto opened = e2e::recordedRequests("POST", "/v1/user/logins");
        QVERIFY(!opened.isEmpty());
        QVERIFY2(header(opened.last(), "authorization").isEmpty(), "the sign-in call carried a token");

        const QUrl page(utils::accountsUrl() + "/login?login_uuid=" + login->uuid);
        QVERIFY2(QDesktopServices::openUrl(page), "Qt found no handler for URLs");
        QTRY_VERIFY2_WITH_TIMEOUT(e2e::openedUrls().contains(page.toString()),
                                  "the desktop's URL handler did not receive the page", kWaitMs);

        const auto status = [&] {
            auto* request = ZorvaneAPI::Provider::instance().getLoginProcessStatusRequest();
            request->exec(login->uuid, clientId);
            return resultOf<ZorvaneAPI::LoginProcessResult>(request);
        };
        auto pending = status();
        QVERIFY(pending && !pending->hasError());
        QCOMPARE(pending->status, QStringLiteral("pending"));

        QNetworkAccessManager browser;
        auto visit = finished(browser.get(QNetworkRequest(QUrl(e2e::openedUrls().last()))));
        QVERIFY2(visit && visit->error() == QNetworkReply::NoError, "the browser could not load the page");

        auto done = status();
        QVERIFY(done && !done->hasError());
        QVERIFY(done->isCompleted());
        QCOMPARE(done->email, e2e::kEmail);
        QCOMPARE(done->token, e2e::kToken);
    }

    // The upload's parts arrive byte for byte in the record, and the Qelt's images lead to the fake.
    void uploadIsRecordedPartByPart()
    {
        QImage picture(320, 120, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QPainter(&picture).fillRect(40, 30, 200, 40, Qt::black);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "JPEG", 83));
        const QByteArray options = R"json({"math_inline_delimiters":["\\(","\\)"],"rm_spaces":true})json";

        auto* request = ZorvaneAPI::Provider::instance().createQeltRequest();
        request->exec(jpeg, options);
        auto result = resultOf<ZorvaneAPI::QeltResult>(request);
        QVERIFY2(result && !result->hasError() && result->qelt, "the upload got no Qelt back");

        const auto uploads = e2e::recordedRequests("POST", "/v1/qelts-multipart");
        QVERIFY(!uploads.isEmpty());
        const QJsonObject upload = uploads.last();
        QCOMPARE(upload.value("host").toString(), QStringLiteral("api.zorvane.com"));
        QCOMPARE(header(upload, "authorization"), "Bearer " + e2e::kToken.toUtf8());
        const QJsonArray parts = upload.value("parts").toArray();
        QCOMPARE(parts.size(), 2);
        const QJsonObject file = parts.at(0).toObject(), json = parts.at(1).toObject();
        QCOMPARE(file.value("name").toString(), QStringLiteral("file"));
        QCOMPARE(file.value("filename").toString(), QStringLiteral("image.jpg"));
        QCOMPARE(file.value("content_type").toString(), QStringLiteral("image/jpeg"));
        QVERIFY2(decoded(file.value("data_base64")) == jpeg, "the image part differs from the JPEG sent");
        QCOMPARE(json.value("name").toString(), QStringLiteral("options_json"));
        QCOMPARE(json.value("content_type").toString(), QString());
        QCOMPARE(decoded(json.value("data_base64")), options);

        auto* fetch = ZorvaneAPI::Provider::instance().getQeltRequest();
        fetch->exec(result->qelt->id);
        auto fetched = resultOf<ZorvaneAPI::QeltResult>(fetch);
        QVERIFY2(fetched && fetched->qelt && fetched->qelt->id == result->qelt->id,
                 "the uploaded Qelt cannot be fetched");

        QNetworkAccessManager plain;
        auto image = finished(plain.get(QNetworkRequest(QUrl(result->qelt->originalImageUrl))));
        QVERIFY2(image && image->error() == QNetworkReply::NoError,
                 qPrintable("the original image did not load from " + result->qelt->originalImageUrl));
        QCOMPARE(QImage::fromData(image->readAll()).size(), picture.size());
    }

    void updateManifestIsOnTheSite()
    {
        QNetworkAccessManager plain;
        auto reply = finished(plain.get(QNetworkRequest(QUrl(utils::siteUrl() + "/lin_app/version.json"))));
        QVERIFY(reply && reply->error() == QNetworkReply::NoError);
        const QJsonObject manifest = QJsonDocument::fromJson(reply->readAll()).object();
        QVERIFY(manifest.value("version").isString());
        QVERIFY(manifest.value("url").toString().startsWith("https://"));
    }
};

int main(int argc, char* argv[])
{
    if (const auto status = e2e::runInsideHarness(argc, argv))
        return *status;
    if (!e2e::skipReason().isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    prepareApplication();
    TestE2eHarness test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_e2e_harness.moc"
