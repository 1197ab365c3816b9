// The recognition upload over real HTTP: what goes on the wire for each delimiter style, how each answer and
// failure ends (retries, rate limit, service errors), picked files and sign-out.
#include "api/ApiTestSupport.h"

#include "api/APIHandler.h"
#include "api/CreateQeltTiming.h"
#include "api/http.h"
#include "app/flows/RecognitionUpload.h"
#include "core/settings.h"
#include "library/QeltsController.h"
#include "support/SilentService.h"
#include "support/TestMain.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QSysInfo>
#include <QTcpServer>
#include <QTemporaryDir>

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

QJsonValue pair(const char* open, const char* close)
{
    return QJsonArray{open, close};
}

} // namespace

class TestRecognitionUpload : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScopedFakeService> m_service;
    std::unique_ptr<QeltsController> m_library;
    std::unique_ptr<RecognitionUpload> m_upload;

    QVector<zq::test::RecordedRequest> uploads() const { return m_service->requestsTo(kCreatePath); }
    bool settled() const
    {
        return QTest::qWaitFor([this] { return m_upload->pendingUploads() == 0; }, zq::test::kWaitMs);
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
        QTest::newRow("dollars, first capture")
            << 0 << 0 << "" << 0 << pair("$", "$") << pair("\n$$\n", "\n$$\n");
        QTest::newRow("parentheses, brackets, e-mail")
            << 1 << 1 << "me@example.org" << 6 << pair("\\(", "\\)") << pair("\n\\[\n", "\n\\]\n");
        QTest::newRow("equation*") << 0 << 2 << "" << 1 << pair("$", "$")
                                   << pair("\n\\begin{equation*}\n", "\n\\end{equation*}\n");
        QTest::newRow("align*, switches turned")
            << 1 << 3 << "" << 1 << pair("\\(", "\\)") << pair("\n\\begin{align*}\n", "\n\\end{align*}\n");
        QTest::newRow("unknown styles") << 2 << 4 << "" << 1 << QJsonValue() << QJsonValue();
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
        kKeyCountTakenScreenshots.set(countBefore);
        const bool turned = QByteArray(QTest::currentDataTag()).contains("switches");
        kKeyIdiomaticEquationArraysEnabled.set(!turned);
        kKeySetRmFonts.set(turned);
        kKeyEnhancedDiagramData.set(!turned);
        const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-1);

        m_upload->RecognizeImage(region(120, 40), false);
        QVERIFY(settled());

        QCOMPARE(uploads().size(), 1);
        const auto parts = uploads().first().parts;
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts[0].name + "|" + parts[0].fileName + "|" + parts[0].contentType,
                 QByteArray("file|image.jpg|image/jpeg"));
        QCOMPARE(QImage::fromData(parts[0].data, "JPG").size(), QSize(120, 40));
        QCOMPARE(parts[1].name + "|" + parts[1].fileName + "|" + parts[1].contentType,
                 QByteArray("options_json||"));
        const QJsonDocument options = QJsonDocument::fromJson(parts[1].data);
        QCOMPARE(parts[1].data, options.toJson(QJsonDocument::Indented));
        QCOMPARE(options.object().keys(), (QStringList{"config", "metadata"}));

        QJsonObject config{{"idiomatic_eqn_arrays", !turned},
                           {"rm_fonts", turned},
                           {"ocr_version", 2},
                           {"zmd_version", "1.2.17"},
                           {"include_diagrams", !turned}};
        if (!inlinePair.isNull())
            config["math_inline_delimiters"] = inlinePair;
        if (!displayPair.isNull())
            config["math_display_delimiters"] = displayPair;
        QCOMPARE(options["config"].toObject(), config);
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
        QVERIFY(kKeyLastScreenshot.get() >= before && kKeyLastScreenshot.get().timeSpec() == Qt::UTC);
    }

    // A picked PNG with a clear background (as the app's own image export makes them): JPEG keeps no
    // transparency, and the clear part must not turn black around black writing.
    void clearBackgroundIsSentAsWhite()
    {
        QImage image(80, 30, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        for (int x = 10; x < 70; ++x)
            image.setPixel(x, 15, qRgba(0, 0, 0, 255));
        m_upload->RecognizeImage(QPixmap::fromImage(image), false);
        QVERIFY(settled());
        const QImage sent = QImage::fromData(uploads().value(0).parts.value(0).data, "JPG");
        QCOMPARE(sent.size(), image.size());
        QVERIFY(qGray(sent.pixel(2, 2)) > 240);
        QVERIFY(qGray(sent.pixel(40, 15)) < 60);
    }

    // A phone photo keeps its pixels as the sensor saw them and says in its EXIF data how to turn them;
    // the JPEG sent carries no EXIF data, so the picture goes upright.
    void photoIsSentAsItsOrientationShowsIt()
    {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && region(80, 30).toImage().save(&buffer, "JPG"));
        // An APP1 segment right after the start of image: "Exif", a big-endian TIFF header and one entry,
        // Orientation (0x0112) = 6, turned a quarter clockwise.
        const QByteArray exif = QByteArray::fromHex("ffe10022457869660000"
                                                    "4d4d002a00000008"
                                                    "0001011200030000000100060000"
                                                    "00000000");
        QTemporaryDir folder;
        QFile photo(folder.filePath("photo.jpg"));
        QVERIFY(photo.open(QIODevice::WriteOnly) && photo.write(jpeg.left(2) + exif + jpeg.mid(2)) > 0);
        photo.close();
        m_upload->uploadFiles({photo.fileName()});
        QVERIFY(settled());
        QCOMPARE(QImage::fromData(uploads().value(0).parts.value(0).data, "JPG").size(), QSize(30, 80));
    }

    void eachAnswerEndsAsTheUserExpects_data()
    {
        QTest::addColumn<QList<Reply>>("replies"); // in order; the last one stands for every later upload
        QTest::addColumn<int>("attempts");
        QTest::addColumn<QString>("shown"); // "error:<text>", "limit:<text>" or ""
        QTest::addColumn<bool>("delivered");
        const Reply qelt = Reply::json(zq::test::qeltJson());
        const Reply reset = Reply::json(zq::test::qeltJson()).closedAfter(5);
        const Reply failed = Reply::text(500);
        const QString generic = "error:" + ZorvaneAPI::http::genericFailureText();
        QJsonObject withErrors = zq::test::qeltJson();
        withErrors["errors"] = zq::test::errorsJson({"low", "Blurry.", "cut", "Cut off."})["errors"];
        QTest::newRow("a Qelt") << QList<Reply>{qelt} << 1 << "" << true;
        QTest::newRow("reset twice, then a Qelt") << QList<Reply>{reset, reset, qelt} << 3 << "" << true;
        QTest::newRow("server errors, then a Qelt")
            << QList<Reply>{failed, failed, failed, qelt} << 4 << "" << true;
        QTest::newRow("reset every time") << QList<Reply>{reset} << 4 << generic << false;
        QTest::newRow("redirects") << QList<Reply>{Reply::text(302).withHeader("Location", "/x")} << 4
                                   << generic << false;
        QTest::newRow("refused every time") << QList<Reply>() << 4 << generic << false;
        QTest::newRow("taken, never answered") << QList<Reply>{Reply::silence()} << 4 << generic << false;
        QTest::newRow("rate limit") << QList<Reply>{Reply::json(
                                           zq::test::errorsJson({"too_many_requests_minute", "Wait."}), 429)}
                                    << 1 << "limit:Wait." << false;
        QTest::newRow("errors beside a Qelt")
            << QList<Reply>{Reply::json(withErrors)} << 1 << "error:Blurry.\nCut off.\n"
            << true;
        QTest::newRow("errors alone") << QList<Reply>{Reply::json(zq::test::errorsJson({"none", "No math."}))}
                                      << 1 << "error:No math.\n"
                                      << false;
        QTest::newRow("not JSON") << QList<Reply>{Reply::raw("<html>", "text/html")} << 1 << generic << false;
    }

    void eachAnswerEndsAsTheUserExpects()
    {
        QFETCH(QList<Reply>, replies);
        QFETCH(int, attempts);
        QFETCH(QString, shown);
        QFETCH(bool, delivered);
        zq::test::SilentService silent;
        const bool stalled = !replies.isEmpty() && replies.last().noAnswer;
        if (stalled) {
            replies.clear();
            silent.beginStall();
        } else if (replies.isEmpty()) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            utils::overrideBaseUrlsForTesting(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
        } else {
            m_service->on("POST", kCreatePath, replies.takeLast());
        }
        for (const Reply& reply : replies)
            m_service->enqueue("POST", kCreatePath, reply);
        int activity = 0;
        connect(m_upload.get(), &RecognitionUpload::activity, this, [&] { ++activity; });
        QStringList messages;
        connect(m_upload.get(), &RecognitionUpload::errorMessage, this,
                [&](auto text) { messages << "error:" + text; });
        connect(m_upload.get(), &RecognitionUpload::rateLimited, this,
                [&](auto text) { messages << "limit:" + text; });
        QSignalSpy opened(m_upload.get(), &RecognitionUpload::showQelt);

        m_upload->RecognizeImage(region(), true);
        QVERIFY(settled());
        silent.endStall();

        // One sign of activity for the packing, one per attempt's end, one for the delivery.
        QCOMPARE(activity, 1 + attempts + (delivered ? 1 : 0));
        if (!QByteArray(QTest::currentDataTag()).startsWith("refused") && !stalled)
            QCOMPARE(uploads().size(), attempts);
        for (const auto& upload : uploads())
            QCOMPARE(upload.parts.value(0).data, uploads().first().parts.value(0).data);
        QCOMPARE(messages, shown.isEmpty() ? QStringList() : QStringList{shown});
        QCOMPARE(m_library->count(), delivered ? 1 : 0);
        QCOMPARE(opened.count(), delivered ? 1 : 0);
        QCOMPARE(CreateQeltTiming::instance().processedStamp > 0, delivered);
    }

    void lastAttemptNamesAnUnreachableServer_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("unreachable");
        QTest::newRow("refused") << int(QNetworkReply::ConnectionRefusedError) << false;
        QTest::newRow("host not found") << int(QNetworkReply::HostNotFoundError) << true;
        QTest::newRow("unknown network error") << int(QNetworkReply::UnknownNetworkError) << true;
    }

    void lastAttemptNamesAnUnreachableServer()
    {
        QFETCH(int, code);
        QFETCH(bool, unreachable);
        ZorvaneAPI::QeltResult result;
        result.networkError.code = code;
        QVERIFY(RecognitionUpload::judge(result, 2).retry);
        const RecognitionUpload::Verdict last = RecognitionUpload::judge(result, 3);
        QVERIFY(!last.retry && last.logFailure);
        QCOMPARE(last.errorText.startsWith("Could not access server."), unreachable);
    }

    void pickedFilesAreUploadedAndTheUnreadableNamed_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("uploaded");
        QTest::addColumn<QString>("message");
        QTest::newRow("one image, opened") << QStringList{"a.png"} << 1 << "";
        QTest::newRow("a PNG named .jpg") << QStringList{"png.jpg"} << 1 << "";
        QTest::newRow("three, one not an image") << QStringList{"a.png", "notes.png", "b.jpg"} << 2
                                                 << "Unable to read some of the selected files as images";
        QTest::newRow("none readable")
            << QStringList{"notes.png", "gone.jpg"} << 0 << "Unable to read selected file(s) as image(s)";
    }

    void pickedFilesAreUploadedAndTheUnreadableNamed()
    {
        QFETCH(QStringList, files);
        QFETCH(int, uploaded);
        QFETCH(QString, message);
        QTemporaryDir folder;
        const QImage image = region().toImage();
        QVERIFY(image.save(folder.filePath("a.png"), "PNG") && image.save(folder.filePath("b.jpg"), "JPG") &&
                image.save(folder.filePath("png.jpg"), "PNG"));
        QFile notes(folder.filePath("notes.png"));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("not a picture") > 0);
        notes.close();
        for (QString& file : files)
            file = folder.filePath(file);
        for (int i = 0; i < uploaded; ++i)
            m_service->enqueue("POST", kCreatePath, Reply::json(zq::test::qeltJson(QString("Q%1").arg(i))));
        QSignalSpy unreadable(m_upload.get(), &RecognitionUpload::filesUnreadable);
        QSignalSpy opened(m_upload.get(), &RecognitionUpload::showQelt);

        m_upload->uploadFiles(files);
        QVERIFY(settled());

        QCOMPARE(m_library->count(), uploaded);
        QCOMPARE(opened.count(), files.size() == 1 ? 1 : 0);
        QCOMPARE(unreadable.count(), message.isEmpty() ? 0 : 1);
        QCOMPARE(unreadable.value(0).value(0).toString(), message);
        QCOMPARE(kKeyLastOpenedFolder.get(), folder.path());
    }

    void cancelledCaptureAndSignOutSendNothingMore()
    {
        QSignalSpy cancelled(m_upload.get(), &RecognitionUpload::captureCancelled);
        m_upload->RecognizeImage(QPixmap(), true);
        QCOMPARE(cancelled.count(), 1);
        QCOMPARE(kKeyCountTakenScreenshots.contains(), false);

        // Sign-out right as the first attempt fails: its retry never goes out.
        m_service->enqueue("POST", kCreatePath, Reply::json(zq::test::qeltJson()).closedAfter(5));
        int activity = 0;
        const auto connection = connect(m_upload.get(), &RecognitionUpload::activity, this, [&] {
            if (++activity == 2)
                m_upload->cancelPending();
        });
        m_upload->RecognizeImage(region(), true);
        QTRY_COMPARE(activity, 2);
        QCOMPARE(m_upload->pendingUploads(), 0);
        disconnect(connection);

        m_service->enqueue("POST", kCreatePath, Reply::json(zq::test::qeltJson("LATER")));
        m_upload->RecognizeImage(region(), true);
        QVERIFY(settled());
        QCOMPARE(uploads().size(), 2);
        QCOMPARE(m_library->count(), 1);
        QVERIFY(m_library->qeltById("later"));
    }
};

ZQ_TEST_MAIN(TestRecognitionUpload)
#include "test_recognition_upload.moc"
