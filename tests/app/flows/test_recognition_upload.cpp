// The recognition upload over real HTTP: what goes on the wire for each delimiter style, the retries on
// failed connections, the rate limit, the service's errors, picked files and sign-out.
#include "api/ApiTestSupport.h"

#include "api/APIHandler.h"
#include "api/CreateQeltTiming.h"
#include "api/http.h"
#include "app/flows/RecognitionUpload.h"
#include "core/settings.h"
#include "library/QeltsController.h"
#include "support/TestMain.h"

#include <QJsonDocument>
#include <QSysInfo>
#include <QTcpServer>
#include <QTemporaryDir>

using zq::test::RecordedPart;
using zq::test::Reply;
using zq::test::ScopedFakeService;

Q_DECLARE_METATYPE(zq::test::Reply)

namespace {

const QString kCreatePath = QStringLiteral("/v1/qelts-multipart");

QPixmap region(int width = 80, int height = 30)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int x = 10; x < width - 10; ++x)
        image.setPixel(x, height / 2, qRgb(0, 0, 0));
    return QPixmap::fromImage(image);
}

Reply resetReply()
{
    return Reply::json(zq::test::qeltJson()).closedAfter(5);
}

// Counts the upload attempts the class logs, also those that never reach a server.
struct AttemptCounter
{
    static inline int attempts = 0;
    static inline QtMessageHandler previous = nullptr;

    AttemptCounter()
    {
        attempts = 0;
        previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (message.startsWith(QLatin1String("[RecognitionUpload] Begin uploading image")))
                    ++attempts;
                previous(type, context, message);
            });
    }
    ~AttemptCounter() { qInstallMessageHandler(previous); }
};

QJsonObject expectedConfig(const QJsonValue& inlinePair, const QJsonValue& displayPair)
{
    QJsonObject config{{"idiomatic_eqn_arrays", true},
                       {"rm_fonts", false},
                       {"ocr_version", 2},
                       {"zmd_version", "1.2.17"},
                       {"include_diagrams", true}};
    if (!inlinePair.isUndefined())
        config["math_inline_delimiters"] = inlinePair;
    if (!displayPair.isUndefined())
        config["math_display_delimiters"] = displayPair;
    return config;
}

} // namespace

class TestRecognitionUpload : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScopedFakeService> m_service;
    std::unique_ptr<QeltsController> m_library;
    std::unique_ptr<RecognitionUpload> m_upload;

    QVector<zq::test::RecordedRequest> uploads() const { return m_service->requestsTo(kCreatePath); }

    bool waitUntilSettled() const
    {
        return QTest::qWaitFor([this] { return m_upload->pendingUploads() == 0; }, 20000);
    }

private slots:
    void initTestCase()
    {
        APIHandler::init(ZorvaneAPI::Provider::instance().networkAccessManager());
        APIHandler::setLogFlushIntervalForTesting(3600000);
    }

    void init()
    {
        zq::test::clearSettings();
        CreateQeltTiming::instance().reset();
        m_service = std::make_unique<ScopedFakeService>(QStringLiteral("t0k"));
        m_library = std::make_unique<QeltsController>(
            nullptr, ZorvaneAPI::Provider::instance().networkAccessManager());
        m_upload = std::make_unique<RecognitionUpload>(m_library.get(), QStringLiteral("03.00.0200"));
        m_upload->setRetryInterval(1);
        m_service->on("POST", kCreatePath, Reply::json(zq::test::qeltJson()));
    }

    void cleanup()
    {
        m_upload.reset();
        m_library.reset();
        m_service.reset();
    }

    void uploadCarriesTheJpegAndTheOptionsOfTheSettings_data()
    {
        QTest::addColumn<int>("inlineStyle");
        QTest::addColumn<int>("displayStyle");
        QTest::addColumn<QString>("savedEmail");
        QTest::addColumn<int>("countBefore");
        QTest::addColumn<QJsonValue>("inlinePair");
        QTest::addColumn<QJsonValue>("displayPair");
        const QJsonValue none(QJsonValue::Undefined);
        QTest::newRow("dollars, first capture, no e-mail")
            << 0 << 0 << "" << 0 << QJsonValue(QJsonArray{"$", "$"})
            << QJsonValue(QJsonArray{"\n$$\n", "\n$$\n"});
        QTest::newRow("parentheses and brackets, with e-mail")
            << 1 << 1 << "me@example.org" << 6 << QJsonValue(QJsonArray{"\\(", "\\)"})
            << QJsonValue(QJsonArray{"\n\\[\n", "\n\\]\n"});
        QTest::newRow("equation*") << 0 << 2 << "" << 1 << QJsonValue(QJsonArray{"$", "$"})
                                   << QJsonValue(
                                          QJsonArray{"\n\\begin{equation*}\n", "\n\\end{equation*}\n"});
        QTest::newRow("align*") << 1 << 3 << "" << 1 << QJsonValue(QJsonArray{"\\(", "\\)"})
                                << QJsonValue(QJsonArray{"\n\\begin{align*}\n", "\n\\end{align*}\n"});
        QTest::newRow("unknown styles leave both out") << 2 << 4 << "" << 1 << none << none;
    }

    void uploadCarriesTheJpegAndTheOptionsOfTheSettings()
    {
        QFETCH(int, inlineStyle);
        QFETCH(int, displayStyle);
        QFETCH(QString, savedEmail);
        QFETCH(int, countBefore);
        QFETCH(QJsonValue, inlinePair);
        QFETCH(QJsonValue, displayPair);

        utils::ResultFormat format;
        format.inlineStyle = inlineStyle;
        format.blockStyle = displayStyle;
        utils::setResultFormat(format);
        kKeySavedEmail.set(savedEmail);
        if (countBefore > 0)
            kKeyCountTakenScreenshots.set(countBefore);
        const QDateTime before = QDateTime::currentDateTimeUtc();

        m_upload->RecognizeImage(region(120, 40), false);
        QVERIFY(waitUntilSettled());

        QCOMPARE(uploads().size(), 1);
        const QVector<RecordedPart> parts = uploads().first().parts;
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts[0].name + "|" + parts[0].fileName + "|" + parts[0].contentType,
                 QByteArray("file|image.jpg|image/jpeg"));
        const QImage sent = QImage::fromData(parts[0].data, "JPG");
        QCOMPARE(sent.size(), QSize(120, 40));
        QCOMPARE(parts[1].name + "|" + parts[1].fileName + "|" + parts[1].contentType,
                 QByteArray("options_json||"));

        const QJsonDocument options = QJsonDocument::fromJson(parts[1].data);
        QCOMPARE(parts[1].data, options.toJson(QJsonDocument::Indented));
        QCOMPARE(options.object().keys(), (QStringList{"config", "metadata"}));
        QCOMPARE(options["config"].toObject(), expectedConfig(inlinePair, displayPair));
        QJsonObject metadata{{"user_id", utils::deviceId()},
                             {"count", countBefore},
                             {"platform", QSysInfo::productType() + " " + QSysInfo::productVersion()},
                             {"skip_recrop", true},
                             {"input_type", "crop"},
                             {"version", "qelt.ubuntu@03.00.0200"}};
        if (!savedEmail.isEmpty())
            metadata["email"] = savedEmail;
        QCOMPARE(options["metadata"].toObject(), metadata);

        QCOMPARE(kKeyCountTakenScreenshots.get(), countBefore + 1);
        const QDateTime last = kKeyLastScreenshot.get();
        QCOMPARE(last.timeSpec(), Qt::UTC);
        QVERIFY(last >= before.addMSecs(-1) && last <= QDateTime::currentDateTimeUtc());
    }

    void settingsSwitchesReachTheConfig()
    {
        kKeyIdiomaticEquationArraysEnabled.set(false);
        kKeySetRmFonts.set(true);
        kKeyEnhancedDiagramData.set(false);
        const QJsonObject config =
            RecognitionUpload::recognitionOptions(utils::ResultFormat(), 0, "v")["config"].toObject();
        QCOMPARE(config["idiomatic_eqn_arrays"], QJsonValue(false));
        QCOMPARE(config["rm_fonts"], QJsonValue(true));
        QCOMPARE(config["include_diagrams"], QJsonValue(false));
    }

    void failedConnectionsAreRetriedUpToFourUploads_data()
    {
        QTest::addColumn<QList<Reply>>("failures");
        QTest::addColumn<bool>("delivered");
        const Reply serverError = Reply::text(500, "oops");
        QTest::newRow("reset twice, then a Qelt") << QList<Reply>{resetReply(), resetReply()} << true;
        QTest::newRow("server errors three times, then a Qelt")
            << QList<Reply>{serverError, serverError, serverError} << true;
        QTest::newRow("reset on every upload")
            << QList<Reply>{resetReply(), resetReply(), resetReply(), resetReply()} << false;
        QTest::newRow("a redirect counts as a failure")
            << QList<Reply>{Reply::text(302).withHeader("Location", "http://127.0.0.1:1/"), resetReply(),
                            serverError, resetReply()}
            << false;
    }

    void failedConnectionsAreRetriedUpToFourUploads()
    {
        QFETCH(QList<Reply>, failures);
        QFETCH(bool, delivered);
        for (const Reply& reply : failures)
            m_service->enqueue("POST", kCreatePath, reply);
        QSignalSpy errors(m_upload.get(), &RecognitionUpload::errorMessage);
        QSignalSpy shown(m_upload.get(), &RecognitionUpload::showQelt);

        m_upload->RecognizeImage(region(), true);
        QVERIFY(waitUntilSettled());

        QCOMPARE(uploads().size(), qMin(failures.size() + 1, 4));
        for (const auto& upload : uploads())
            QCOMPARE(upload.parts.value(0).data, uploads().first().parts.value(0).data);
        QCOMPARE(m_library->count(), delivered ? 1 : 0);
        QCOMPARE(shown.count(), delivered ? 1 : 0);
        QCOMPARE(errors.count(), delivered ? 0 : 1);
        if (!delivered)
            QCOMPARE(errors.first().first().toString(), ZorvaneAPI::http::genericFailureText());
        QCOMPARE(kKeyCountTakenScreenshots.get(), 1);
    }

    void refusedConnectionsEndWithOneMessageAfterTheFourthUpload()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QString deadUrl = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
        closed.close();
        utils::overrideBaseUrlsForTesting(deadUrl);
        AttemptCounter counter;
        QSignalSpy errors(m_upload.get(), &RecognitionUpload::errorMessage);

        m_upload->RecognizeImage(region(), false);
        QVERIFY(waitUntilSettled());

        QCOMPARE(AttemptCounter::attempts, 4);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().toString(), ZorvaneAPI::http::genericFailureText());
    }

    void rateLimitOpensTheFormAndIsNotRetried()
    {
        m_service->enqueue(
            "POST", kCreatePath,
            Reply::json(zq::test::errorsJson({"too_many_requests_minute", "Wait a minute, please."}), 429));
        QSignalSpy limited(m_upload.get(), &RecognitionUpload::rateLimited);
        QSignalSpy errors(m_upload.get(), &RecognitionUpload::errorMessage);

        m_upload->RecognizeImage(region(), true);
        QVERIFY(waitUntilSettled());

        QCOMPARE(uploads().size(), 1);
        QCOMPARE(limited.count(), 1);
        QCOMPARE(limited.first().first().toString(), QStringLiteral("Wait a minute, please."));
        QCOMPARE(errors.count(), 0);
        QCOMPARE(m_library->count(), 0);
    }

    void serviceAnswersReachTheUserAndTheLibrary_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<bool>("autoOpen");
        QTest::addColumn<QString>("errorText");
        QTest::addColumn<bool>("delivered");
        QJsonObject withErrors = zq::test::qeltJson("NEW1", "completed");
        withErrors["errors"] = zq::test::errorsJson({"low_quality", "Blurry.", "cut", "Cut off."})["errors"];
        const QString generic = ZorvaneAPI::http::genericFailureText();
        QTest::newRow("a Qelt, opened") << Reply::json(zq::test::qeltJson()) << true << "" << true;
        QTest::newRow("a Qelt picked among several")
            << Reply::json(zq::test::qeltJson()) << false << "" << true;
        QTest::newRow("errors beside a Qelt: both")
            << Reply::json(withErrors) << true << "Blurry.\nCut off.\n"
            << true;
        QTest::newRow("errors alone")
            << Reply::json(zq::test::errorsJson({"bad", "No math found."})) << true << "No math found.\n"
            << false;
        QTest::newRow("not JSON") << Reply::raw("<html>", "text/html") << true << generic << false;
        QTest::newRow("an invalid Qelt") << Reply::json(QJsonObject{{"id", "x"}}) << true << generic << false;
    }

    void serviceAnswersReachTheUserAndTheLibrary()
    {
        QFETCH(Reply, reply);
        QFETCH(bool, autoOpen);
        QFETCH(QString, errorText);
        QFETCH(bool, delivered);
        m_service->on("POST", kCreatePath, reply);
        QSignalSpy errors(m_upload.get(), &RecognitionUpload::errorMessage);
        QSignalSpy shown(m_upload.get(), &RecognitionUpload::showQelt);

        m_upload->RecognizeImage(region(), autoOpen);
        QVERIFY(waitUntilSettled());

        QCOMPARE(uploads().size(), 1);
        QCOMPARE(errors.count(), errorText.isEmpty() ? 0 : 1);
        if (!errorText.isEmpty())
            QCOMPARE(errors.first().first().toString(), errorText);
        QCOMPARE(m_library->count(), delivered ? 1 : 0);
        QCOMPARE(shown.count(), delivered && autoOpen ? 1 : 0);
        const CreateQeltTiming& timing = CreateQeltTiming::instance();
        QCOMPARE(timing.processedStamp >= timing.receivedStamp && timing.receivedStamp > 0, delivered);
    }

    void verdictOfOneAttempt_data()
    {
        QTest::addColumn<int>("networkCode");
        QTest::addColumn<QStringList>("errorIds");
        QTest::addColumn<int>("attempt");
        QTest::addColumn<QString>("outcome");
        const QString network =
            "Could not access server. Please check your network connection and try again.";
        const QString generic = ZorvaneAPI::http::genericFailureText();
        QTest::newRow("refused, attempt 2") << 1 << QStringList() << 2 << "retry";
        QTest::newRow("refused, attempt 3") << 1 << QStringList() << 3 << generic;
        QTest::newRow("host not found, attempt 3") << 3 << QStringList() << 3 << network;
        QTest::newRow("unknown network error, attempt 3") << 99 << QStringList() << 3 << network;
        QTest::newRow("one rate limit") << 204 << QStringList{"too_many_requests_day"} << 0 << "limit";
        QTest::newRow("a rate limit among two errors")
            << 204 << QStringList{"too_many_requests_day", "other"} << 0 << "retry";
        QTest::newRow("another error on a failed reply") << 204 << QStringList{"bad_image"} << 1 << "retry";
    }

    void verdictOfOneAttempt()
    {
        QFETCH(int, networkCode);
        QFETCH(QStringList, errorIds);
        QFETCH(int, attempt);
        QFETCH(QString, outcome);
        ZorvaneAPI::QeltResult result;
        result.networkError.code = networkCode;
        for (const QString& id : errorIds)
            result.errors.append({id, id + " message"});
        const RecognitionUpload::Verdict verdict = RecognitionUpload::judge(result, attempt);
        QCOMPARE(verdict.deliver, false);
        QCOMPARE(verdict.logFailure, outcome != "limit");
        QCOMPARE(verdict.retry, outcome == "retry");
        QCOMPARE(verdict.rateLimited, outcome == "limit");
        if (verdict.rateLimited)
            QCOMPARE(verdict.rateLimitMessage, errorIds.first() + " message");
        QCOMPARE(verdict.errorText, outcome == "retry" || outcome == "limit" ? QString() : outcome);
    }

    void cancelledCaptureSendsNothing()
    {
        QSignalSpy cancelled(m_upload.get(), &RecognitionUpload::captureCancelled);
        m_upload->RecognizeImage(QPixmap(), true);
        QCOMPARE(cancelled.count(), 1);
        QCOMPARE(m_upload->pendingUploads(), 0);
        QCOMPARE(kKeyCountTakenScreenshots.contains(), false);
        QVERIFY(RecognitionUpload::encodeJpeg(QImage()).isEmpty());
    }

    void pickedFilesAreUploadedAndTheUnreadableNamed_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("uploaded");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QString>("message");
        QTest::newRow("one image") << QStringList{"a.png"} << 1 << true << "";
        QTest::newRow("a PNG named .jpg") << QStringList{"png-named.jpg"} << 1 << true << "";
        QTest::newRow("two images") << QStringList{"a.png", "b.jpg"} << 2 << false << "";
        QTest::newRow("three, one not an image") << QStringList{"a.png", "notes.png", "b.jpg"} << 2 << false
                                                 << "Unable to read some of the selected files as images";
        QTest::newRow("none readable") << QStringList{"notes.png", "missing.jpg"} << 0 << false
                                       << "Unable to read selected file(s) as image(s)";
    }

    void pickedFilesAreUploadedAndTheUnreadableNamed()
    {
        QFETCH(QStringList, files);
        QFETCH(int, uploaded);
        QFETCH(bool, opened);
        QFETCH(QString, message);
        QTemporaryDir folder;
        const QImage image = region().toImage();
        QVERIFY(image.save(folder.filePath("a.png"), "PNG"));
        QVERIFY(image.save(folder.filePath("b.jpg"), "JPG"));
        QVERIFY(image.save(folder.filePath("png-named.jpg"), "PNG"));
        QFile notes(folder.filePath("notes.png"));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("not a picture") > 0);
        notes.close();
        for (QString& file : files)
            file = folder.filePath(file);
        QSignalSpy unreadable(m_upload.get(), &RecognitionUpload::filesUnreadable);
        QSignalSpy shown(m_upload.get(), &RecognitionUpload::showQelt);
        // Each upload gets a Qelt of its own.
        for (int i = 0; i < uploaded; ++i)
            m_service->enqueue("POST", kCreatePath, Reply::json(zq::test::qeltJson(QString("Q%1").arg(i))));

        m_upload->uploadFiles(files);
        QVERIFY(waitUntilSettled());

        QCOMPARE(uploads().size(), uploaded);
        QCOMPARE(m_library->count(), uploaded);
        QCOMPARE(shown.count(), opened ? 1 : 0);
        QCOMPARE(unreadable.count(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QCOMPARE(unreadable.first().first().toString(), message);
        QCOMPARE(kKeyLastOpenedFolder.get(), QFileInfo(files.first()).absolutePath());
    }

    void signOutDropsAnUploadWaitingForItsRetry()
    {
        m_service->enqueue("POST", kCreatePath, resetReply());
        int activities = 0;
        // The first attempt has ended when its second sign of activity comes; sign out right then.
        connect(m_upload.get(), &RecognitionUpload::activity, this, [&] {
            if (++activities == 2)
                m_upload->cancelPending();
        });
        QSignalSpy errors(m_upload.get(), &RecognitionUpload::errorMessage);
        m_upload->RecognizeImage(region(), true);
        QTRY_COMPARE(activities, 2);
        QCOMPARE(m_upload->pendingUploads(), 0);

        // A later capture goes through alone; the dropped one never comes back.
        disconnect(m_upload.get(), &RecognitionUpload::activity, this, nullptr);
        m_service->enqueue("POST", kCreatePath, Reply::json(zq::test::qeltJson("LATER")));
        m_upload->RecognizeImage(region(), true);
        QVERIFY(waitUntilSettled());
        QCOMPARE(uploads().size(), 2);
        QCOMPARE(m_library->count(), 1);
        QVERIFY(m_library->qeltById("later"));
        QCOMPARE(errors.count(), 0);
    }

    void qeltRecognizedElsewhereIsAddedAndShown()
    {
        QSignalSpy shown(m_upload.get(), &RecognitionUpload::showQelt);
        const auto qelt = ZorvaneQelt::fromJson(zq::test::qeltJson("HW1"));
        m_upload->QeltRecognizedHandler(qelt);
        QCOMPARE(m_library->count(), 1);
        QCOMPARE(shown.count(), 1);
        QVERIFY(CreateQeltTiming::instance().processedStamp > 0);
    }
};

ZQ_TEST_MAIN(TestRecognitionUpload)
#include "test_recognition_upload.moc"
