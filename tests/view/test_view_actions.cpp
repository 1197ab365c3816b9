// The view page's service actions without the page: the DOCX export, the solver, the chat's requests and
// bubbles, and the ratings, over real HTTP to the fake service and into real folders.

#include "api/APIHandler.h"
#include "api/Provider.h"
#include "api/SendMessageRequest.h"
#include "api/SendMessageResult.h"
#include "core/files.h"
#include "core/identity.h"
#include "core/userState.h"
#include "support/FakeService.h"
#include "support/TestMain.h"
#include "view/chat/ChatSession.h"
#include "view/chat/chatReplies.h"
#include "view/chat/ui/QeltChatItemFrame.h"
#include "view/docx/DocxExporter.h"
#include "view/docx/docxFiles.h"
#include "view/feedback/RatingFlow.h"
#include "view/solver/Solver.h"

#include <QDir>
#include <QJsonArray>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace zq::test;

Q_DECLARE_METATYPE(zq::test::Reply)

namespace {

const QByteArray kZip("PK\x03\x04 document", 13);

QByteArray sse(const QString& answer)
{
    const QJsonObject payload{{"generative", QJsonObject{{"type", "text"}, {"data", answer}}}};
    return "data: " + QJsonDocument(payload).toJson(QJsonDocument::Compact) + "\n\n";
}

QStringList fileNames(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

std::shared_ptr<ZorvaneQeltChatMsg> message(const QString& query, const QString& answer,
                                            const QString& answerType = "text")
{
    auto msg = std::make_shared<ZorvaneQeltChatMsg>();
    msg->id = query;
    msg->queryType = "text";
    msg->queryText = query;
    msg->answerType = answerType;
    msg->answerText = answer;
    return msg;
}

} // namespace

class TestViewActions : public QObject
{
    Q_OBJECT

    QNetworkAccessManager manager;
    std::unique_ptr<FakeService> service;

    QVector<RecordedRequest> requestsTo(const char* path) const { return service->requestsTo(path); }

private slots:
    void initTestCase()
    {
        APIHandler::init(&manager);
        qRegisterMetaType<QNetworkReply*>();
        RatingFlow::setIntervalsForTesting(RatingFlow::Intervals{10, 60000, 10, 300});
    }

    void init()
    {
        service = std::make_unique<FakeService>();
        utils::overrideBaseUrlsForTesting(service->baseUrl());
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        ZorvaneAPI::Provider::instance().setAccount("someone@example.org", "t0k");
        service->on("POST", "/v1/user/ocr_feedback", Reply::json(QJsonObject()));
    }

    // The first free number names the document, when it is asked for and when it is written, and what
    // has the name stays as it was: a file there before, one made just before the document is moved
    // into place ("+"), or a link to no file ("~"), through which nothing is written.
    void documentsTakeTheFirstFreeName_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("saved");
        QTest::newRow("empty folder") << QStringList() << "Doc1.docx"
                                      << "Doc1.docx";
        QTest::newRow("1 and 2 taken") << QStringList{"Doc1.docx", "Doc2.docx"} << "Doc3.docx"
                                       << "Doc3.docx";
        QTest::newRow("only 2 taken") << QStringList{"Doc2.docx"} << "Doc1.docx"
                                      << "Doc1.docx";
        QTest::newRow("a gap after 1") << QStringList{"Doc1.docx", "Doc3.docx"} << "Doc2.docx"
                                       << "Doc2.docx";
        QTest::newRow("made just before the move") << QStringList{"+Doc1.docx"} << "Doc1.docx"
                                                   << "Doc2.docx";
        QTest::newRow("a link to no file") << QStringList{"~Doc1.docx"} << "Doc2.docx"
                                           << "Doc2.docx";
    }

    void documentsTakeTheFirstFreeName()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, name);
        QFETCH(QString, saved);
        QTemporaryDir dir;
        const QString nowhere = dir.filePath("nowhere.docx");
        QStringList late;
        for (const QString& entry : existing) {
            const QString file = entry.mid(entry.startsWith('+') || entry.startsWith('~') ? 1 : 0);
            if (entry.startsWith('+')) {
                late << dir.filePath(file);
            } else if (entry.startsWith('~')) {
                QVERIFY(QFile::link(nowhere, dir.filePath(file)));
            } else {
                QFile old(dir.filePath(file));
                QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
            }
        }
        utils::setBeforeRenameForTesting([late](const QString& to) {
            if (late.contains(to) && !QFileInfo::exists(to)) {
                QFile made(to);
                if (made.open(QIODevice::WriteOnly))
                    made.write("old");
            }
        });
        QCOMPARE(docxFiles::freeName(dir.path()), name);
        const QString path = docxFiles::saveDocument(dir.path(), kZip);
        utils::setBeforeRenameForTesting({});
        QCOMPARE(path, dir.filePath(saved));
        for (const QString& entry : existing) {
            const QFileInfo info(
                dir.filePath(entry.mid(entry.startsWith('+') || entry.startsWith('~') ? 1 : 0)));
            if (entry.startsWith('~')) {
                QCOMPARE(info.symLinkTarget(), nowhere);
                continue;
            }
            QFile old(info.filePath());
            QVERIFY(old.open(QIODevice::ReadOnly) && old.readAll() == "old");
        }
        QVERIFY(!QFileInfo::exists(nowhere));
        // No temporary file left.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                 existing.size() + 1);
    }

    void repliesAreDocumentsOrErrors_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("errorId"); // empty: a document
        QTest::newRow("zip") << kZip << "";
        QTest::newRow("error list") << QByteArray(R"({"errors":[{"id":"quota","message":"Too many"}]})")
                                    << "quota";
        QTest::newRow("bare error") << QByteArray(R"({"id":"bad_zmd","message":"No"})") << "bad_zmd";
        QTest::newRow("other json") << QByteArray(R"({"ok":true})") << "invalid_document";
        QTest::newRow("html") << QByteArray("<html>PK\x03\x04</html>") << "invalid_document";
        QTest::newRow("cut signature") << QByteArray("PK\x03") << "invalid_document";
    }

    void repliesAreDocumentsOrErrors()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, errorId);
        const docxFiles::Reading reading = docxFiles::readReply(body);
        QCOMPARE(reading.isDocument, errorId.isEmpty());
        QCOMPARE(reading.error.value("id").toString(), errorId);
    }

    // What the export sends, keeps and says, whatever the service answers.
    void exportsSaveOrFailWithoutFiles_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("folder");  // "folder", "none", or "a file" standing where it would be
        QTest::addColumn<QString>("outcome"); // saved, notWritten or the failure's id
        const Reply zip = Reply::raw(kZip);
        QTest::newRow("text") << "$x$" << zip << "folder"
                              << "saved";
        QTest::newRow("latex when no text") << "" << zip << "folder"
                                            << "saved";
        QTest::newRow("json error") << "$x$"
                                    << Reply::json({{"errors", QJsonArray{QJsonObject{{"id", "e"}}}}})
                                    << "folder"
                                    << "e";
        QTest::newRow("server error") << "$x$" << Reply::text(500, "oops") << "folder"
                                      << "network_reply_error";
        QTest::newRow("empty body") << "$x$" << Reply::raw("") << "folder"
                                    << "network_unreachable";
        QTest::newRow("no download folder") << "$x$" << zip << "none"
                                            << "notWritten";
        QTest::newRow("a folder that cannot be made") << "$x$" << zip << "a file"
                                                      << "notWritten";
    }

    void exportsSaveOrFailWithoutFiles()
    {
        QFETCH(QString, text);
        QFETCH(Reply, reply);
        QFETCH(QString, folder);
        QFETCH(QString, outcome);
        service->on("POST", "/v1/export/docx", reply);
        QTemporaryDir dir;
        const bool given = folder != "none";
        const QString downloads = given ? dir.filePath("Downloads") : QString();
        if (folder == "a file") {
            QFile blocking(downloads);
            QVERIFY(blocking.open(QIODevice::WriteOnly));
        }
        DocxExporter exporter;
        QStringList said;
        connect(&exporter, &DocxExporter::saved, [&](const QString& path) { said << "saved:" + path; });
        connect(&exporter, &DocxExporter::notWritten,
                [&](const QString& path) { said << "notWritten:" + path; });
        connect(&exporter, &DocxExporter::failed,
                [&](const QJsonObject& e) { said << e.value("id").toString(); });
        if (folder == "a file")
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression("^\\[QeltViewFrame\\] Can't make the download folder"));
        QCOMPARE(exporter.start(text, "x", downloads), QString("Doc1.docx"));
        QTRY_COMPARE(said.size(), 1);
        QCOMPARE(said.first().section(':', 0, 0), outcome);
        if (folder == "a file")
            QCOMPARE(said.first(), "notWritten:" + QDir(downloads).filePath("Doc1.docx"));
        QCOMPARE(fileNames(folder == "folder" ? downloads : dir.path()),
                 outcome == "saved"   ? QStringList{"Doc1.docx"}
                 : folder == "a file" ? QStringList{"Downloads"}
                                      : QStringList());
        QVERIFY(!QFileInfo::exists("/Doc1.docx"));
        QCOMPARE(requestsTo("/v1/export/docx").size(), int(given));
        if (given)
            QCOMPARE(requestsTo("/v1/export/docx").first().json(),
                     (QJsonObject{{"zmd", text.isEmpty() ? "x" : text}, {"fileName", "Doc1.docx"}}));
    }

    // Two exports in flight ask for names of their own, and each document is saved under the name its
    // export asked for, whichever answer comes first.
    void twoExportsInFlightKeepTwoFiles()
    {
        service->on("POST", "/v1/export/docx", [](const RecordedRequest& r) {
            const QString zmd = r.json().value("zmd").toString();
            return Reply::raw(kZip + zmd.toUtf8()).withDelay(zmd == "first" ? 300 : 0);
        });
        QTemporaryDir dir;
        DocxExporter exporter;
        QSignalSpy saved(&exporter, &DocxExporter::saved);
        QCOMPARE(exporter.start("first", "", dir.path()), QString("Doc1.docx"));
        QCOMPARE(exporter.start("second", "", dir.path()), QString("Doc2.docx"));
        QTRY_COMPARE(saved.size(), 2);
        QCOMPARE(fileNames(dir.path()), (QStringList{"Doc1.docx", "Doc2.docx"}));
        for (const RecordedRequest& request : requestsTo("/v1/export/docx")) {
            QFile file(dir.filePath(request.json().value("fileName").toString()));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(file.readAll().mid(kZip.size())),
                     request.json().value("zmd").toString());
        }
        // Settled, their names are asked for again once free.
        QVERIFY(QFile::remove(dir.filePath("Doc1.docx")));
        QCOMPARE(exporter.start("third", "", dir.path()), QString("Doc1.docx"));
        QTRY_COMPARE(saved.size(), 3);
    }

    void solverSaysWhatToShow_data()
    {
        QTest::addColumn<bool>("network");
        QTest::addColumn<QString>("latex");
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QStringList>("said");
        const Reply solved = Reply::json({{"summary", "x = 2"}});
        QTest::newRow("solved") << true << "x+1=3" << solved << QStringList{"solving", "solved:x = 2"};
        QTest::newRow("no summary") << true << "x" << Reply::json({}) << QStringList{"solving", "solved:"};
        QTest::newRow("no network") << false << "x" << solved << QStringList{"offline"};
        QTest::newRow("no latex") << true << "" << solved << QStringList{"unsolvable"};
        QTest::newRow("service error")
            << true << "x" << Reply::text(500) << QStringList{"solving", "unsolvable"};
        QTest::newRow("unreadable reply")
            << true << "x" << Reply::raw("") << QStringList{"solving", "offline"};
    }

    void solverSaysWhatToShow()
    {
        QFETCH(bool, network);
        QFETCH(QString, latex);
        QFETCH(Reply, reply);
        QFETCH(QStringList, said);
        service->on("POST", "/v1/solve", reply);
        APIHandler::overrideNetworkAvailabilityForTesting(network);
        Solver solver([&latex] { return std::optional<QString>(latex); });
        QStringList seen;
        connect(&solver, &Solver::offline, [&] { seen << "offline"; });
        connect(&solver, &Solver::unsolvable, [&] { seen << "unsolvable"; });
        connect(&solver, &Solver::solving, [&] { seen << "solving"; });
        connect(&solver, &Solver::solved, [&](const QString& summary) { seen << "solved:" + summary; });
        solver.solve(latex);
        QTRY_COMPARE(seen, said);
        const bool sent = said.first() == "solving";
        QCOMPARE(requestsTo("/v1/solve").size(), int(sent));
        if (sent)
            QCOMPARE(requestsTo("/v1/solve").first().json(), QJsonObject({{"latex", latex}}));
    }

    // A reply counts only for the latest solve, and only while the page still shows what was sent.
    void lateRepliesChangeNothing_data()
    {
        QTest::addColumn<bool>("retried");
        QTest::addColumn<QString>("shownAtReply"); // "-": no Qelt shown
        QTest::addColumn<int>("solved");
        QTest::newRow("retried while running") << true << "x" << 1;
        QTest::newRow("another latex shown") << false << "y" << 0;
        QTest::newRow("nothing shown") << false << "-" << 0;
    }

    void lateRepliesChangeNothing()
    {
        QFETCH(bool, retried);
        QFETCH(QString, shownAtReply);
        QFETCH(int, solved);
        // The first request is answered last.
        service->enqueue("POST", "/v1/solve", Reply::json({{"summary", "first"}}).withDelay(300));
        service->on("POST", "/v1/solve", Reply::json({{"summary", "later"}}));
        QString shown = "x";
        Solver solver([&shown]() -> std::optional<QString> {
            return shown == "-" ? std::nullopt : std::optional<QString>(shown);
        });
        QSignalSpy spy(&solver, &Solver::solved);
        QSignalSpy replies(&manager, &QNetworkAccessManager::finished);
        solver.solve("x");
        if (retried)
            solver.solve("x");
        shown = shownAtReply;
        QTRY_COMPARE(replies.size(), retried ? 2 : 1);
        QCOMPARE(spy.size(), solved);
    }

    // Of two sends, or a send and a clear, only the later one's replies arrive; the earlier stream's
    // later events are dropped.
    void laterChatRequestsDropEarlierStreams_data()
    {
        QTest::addColumn<bool>("clearing");
        QTest::newRow("second send") << false;
        QTest::newRow("clear") << true;
    }

    void laterChatRequestsDropEarlierStreams()
    {
        QFETCH(bool, clearing);
        // The first stream would go on for seconds if it were not closed.
        service->enqueue(
            "POST", "/v4/qelt-chat",
            Reply::eventStream({sse("one"), sse("one more"), sse("and more"), sse("the end")}, 300));
        // Answered after the first stream's last event was written.
        service->on("POST", "/v4/qelt-chat", Reply::eventStream({sse("two")}).withDelay(600));
        service->on("DELETE", "/v4/qelts/q/chat", Reply::json({}).withDelay(600));
        ChatSession session;
        QStringList answers;
        QSignalSpy cleared(&session, &ChatSession::clearReply);
        connect(&session, &ChatSession::answerReply, [&](const ZorvaneAPI::ResultPtr& r) {
            auto answer = std::static_pointer_cast<ZorvaneAPI::SendMessageResult>(r);
            answers << answer->text + (answer->isCompleted() ? "." : "");
        });
        session.send("q", "x", "first?");
        QTRY_VERIFY(!answers.isEmpty());
        QCOMPARE(answers, QStringList{"one"});
        if (clearing) {
            session.clear("q");
            QTRY_COMPARE(cleared.size(), 1);
        } else {
            session.send("q", "x", "second?");
            QTRY_COMPARE(answers.last(), QString("two."));
        }
        QCOMPARE(answers.filter("one").size(), 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(session.findChildren<ZorvaneAPI::SendMessageRequest*>().size(), 0);
    }

    // Of two history loads in flight only the later one's reply arrives, whatever their order.
    void onlyTheLatestHistoryArrives()
    {
        service->on("GET", "/v4/qelts/*", Reply::json({{"data", QJsonArray()}}));
        ChatSession session;
        QSignalSpy history(&session, &ChatSession::historyReply);
        QSignalSpy replies(ZorvaneAPI::Provider::instance().networkAccessManager(),
                           &QNetworkAccessManager::finished);
        session.loadHistory("a");
        session.loadHistory("b");
        QTRY_COMPARE(replies.size(), 2);
        QCOMPARE(history.size(), 1);
        QCOMPARE(service->requestsTo("/v4/qelts/b/chat").size(), 1);
    }

    void historyReadsOldestFirst()
    {
        using B = chatReplies::Bubble;
        const QVector<std::shared_ptr<ZorvaneQeltChatMsg>> messages{message("q2", "a2"), nullptr,
                                                                    message("q1", "a1", "image")};
        QCOMPARE(chatReplies::bubblesOf(messages),
                 (QVector<B>{{B::Prompt, "q1"}, {B::Prompt, "q2"}, {B::Response, "a2"}}));
    }

    void failuresReadByPrecedence_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<int>("network");
        QTest::addColumn<bool>("ownError");
        QTest::addColumn<QString>("text"); // "-": no failure
        QTest::newRow("message first") << "Slow down" << QStringList{"e"} << 3 << true << "Slow down";
        QTest::newRow("errors joined") << "" << QStringList{"a", "b"} << 3 << false << "a\nb\n";
        QTest::newRow("network") << "" << QStringList() << 3 << false << "Sending failed, net error: 3 gone";
        QTest::newRow("own flag") << "" << QStringList() << 0 << true
                                  << "Something went wrong, please try again or contact support@zorvane.com.";
        QTest::newRow("none") << "" << QStringList() << 0 << false << "-";
    }

    void failuresReadByPrecedence()
    {
        QFETCH(QString, message);
        QFETCH(QStringList, errors);
        QFETCH(int, network);
        QFETCH(bool, ownError);
        QFETCH(QString, text);
        ZorvaneAPI::SendMessageResult result;
        result.message = message;
        for (const QString& error : errors)
            result.errors.append({"id", error});
        result.networkError = {network, "gone"};
        result.error = ownError;
        const auto failure = chatReplies::failureOf(result, "Sending failed");
        QCOMPARE(failure ? failure->text : QString("-"), text);
        QCOMPARE(failure && failure->network, text.contains("net error"));
    }

    void chatPicturesFitInto500_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("shown"); // invalid: "Loading..." stays
        QTest::newRow("wide") << QSize(1000, 250) << QSize(500, 125);
        QTest::newRow("tall") << QSize(250, 1000) << QSize(125, 500);
        QTest::newRow("small grows") << QSize(100, 50) << QSize(500, 250);
        QTest::newRow("a line") << QSize(5000, 1) << QSize(500, 1);
        QTest::newRow("none") << QSize() << QSize();
        QTest::newRow("no width") << QSize(0, 10) << QSize();
    }

    void chatPicturesFitInto500()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, shown);
        QPixmap pixmap;
        if (picture.isValid()) {
            pixmap = QPixmap(picture);
            pixmap.fill(Qt::darkCyan);
        }
        QCOMPARE(chatReplies::fittedImageSize(picture), shown);
        std::unique_ptr<QeltChatItemFrame> bubble(QeltChatItemFrame::createImageItem(nullptr, pixmap));
        QCOMPARE(bubble->imageSize(), shown);
        if (!shown.isValid())
            return;
        // The picture itself inside a rounded outline, the corners left clear.
        const QImage drawn = bubble->findChild<QLabel*>("qeltImage")->pixmap(Qt::ReturnByValue).toImage();
        if (shown.height() < 20)
            return;
        QCOMPARE(drawn.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(drawn.pixelColor(shown.width() / 2, shown.height() / 2).rgb(), QColor(Qt::darkCyan).rgb());
        QVERIFY(drawn.pixelColor(shown.width() / 2, shown.height() - 1).red() > 64); // the grey outline
    }

    void bubblesShowTheirParts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("shown"); // p prompt, a avatar row, i picture, r response
        QTest::newRow("picture") << "image"
                                 << "pai";
        QTest::newRow("question") << "prompt"
                                  << "p";
        QTest::newRow("answer") << "response"
                                << "ar";
        QTest::newRow("error") << "error"
                               << "ar";
    }

    void bubblesShowTheirParts()
    {
        QFETCH(QString, kind);
        QFETCH(QString, shown);
        std::unique_ptr<QeltChatItemFrame> bubble(
            kind == "image"    ? QeltChatItemFrame::createImageItem(nullptr, QPixmap())
            : kind == "prompt" ? QeltChatItemFrame::createPromptItem(nullptr, "q")
            : kind == "error"  ? QeltChatItemFrame::createErrorItem(nullptr, "e")
                               : QeltChatItemFrame::createResponseItem(nullptr, "r"));
        QString parts;
        for (const auto& [letter, name] :
             {std::pair{'p', "promptWidget"}, std::pair{'a', "zorvaneWidget"},
              std::pair{'i', "qeltImageWidget"}, std::pair{'r', "responseWidget"}})
            if (bubble->findChild<QWidget*>(name)->isVisibleTo(bubble.get()))
                parts += letter;
        QCOMPARE(parts, shown);
    }

    // A question is shown as the user typed it, markup and all.
    void questionsArePlainText()
    {
        std::unique_ptr<QeltChatItemFrame> bubble(
            QeltChatItemFrame::createPromptItem(nullptr, "<b>1 < 2</b>"));
        const auto* prompt = bubble->findChild<QLabel*>("prompt");
        QCOMPARE(prompt->textFormat(), Qt::PlainText);
        QCOMPARE(prompt->text(), QString("<b>1 < 2</b>"));
    }

    void entriesAreReadWithoutBeingRecorded()
    {
        RatingFlow flow;
        QCOMPARE(flow.entry("never").rating, -1);
        QVERIFY(flow.record().isEmpty());
        QSignalSpy settled(&flow, &RatingFlow::settled);
        flow.rate("q", 0);
        QCOMPARE(flow.record().keys(), QStringList{"q"});
        QVERIFY(!flow.record().value("q").complete);
        QTRY_COMPARE(settled.size(), 1);
        QCOMPARE(settled.first(), (QVariantList{"q", 0}));
    }

    // A waiting thumbs-down goes out bare when the next one comes, when told to, or not at all when its
    // report replaces it.
    void waitingThumbsDownGoOutOnce_data()
    {
        QTest::addColumn<QString>("steps"); // a/b: await a/b; s: send now; ca/cb: cancel a/b
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("second waits, first goes") << "a b" << QStringList{"a"};
        QTest::newRow("sent now") << "a s s" << QStringList{"a"};
        QTest::newRow("report replaces it") << "a ca s" << QStringList();
        QTest::newRow("another's report does not") << "a cb s" << QStringList{"a"};
    }

    void waitingThumbsDownGoOutOnce()
    {
        QFETCH(QString, steps);
        QFETCH(QStringList, sent);
        RatingFlow flow;
        for (const QString& step : steps.split(' ')) {
            if (step == "s")
                flow.sendAwaitedNow();
            else if (step.startsWith('c'))
                flow.cancelAwaited(step.mid(1));
            else
                flow.awaitReason(step);
        }
        QTRY_COMPARE(requestsTo("/v1/user/ocr_feedback").size(), sent.size());
        for (int i = 0; i < sent.size(); ++i)
            QCOMPARE(requestsTo("/v1/user/ocr_feedback").at(i).json(),
                     (QJsonObject{{"qelt_id", sent.at(i)}, {"ocr_feedback", 0}}));
    }

    // A rating waits for a permission change under way, but not for ever.
    void ratingsWaitForThePermissionBriefly_data()
    {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("confirmed") << true;
        QTest::newRow("never confirmed") << false;
    }

    void ratingsWaitForThePermissionBriefly()
    {
        QFETCH(bool, confirmed);
        service->on("PATCH", "/v1/user/settings",
                    confirmed ? Reply::json({}).withDelay(100) : Reply::text(500));
        QList<bool> pendingWhenRated;
        QStringList order;
        connect(service.get(), &FakeService::received, [&](const RecordedRequest& r) {
            if (r.path == "/v1/user/ocr_feedback")
                pendingWhenRated << *RatingFlow::permissionPending(), order << "rated";
        });
        QObject context;
        connect(&manager, &QNetworkAccessManager::finished, &context, [&](QNetworkReply* reply) {
            if (reply->url().path() == "/v1/user/settings")
                order << "answered";
        });
        RatingFlow flow;
        APIHandler::SetImproveOCRSetting(true, RatingFlow::permissionPending());
        flow.sendWhenPermitted("q", 1);
        QTRY_COMPARE(pendingWhenRated, QList<bool>{false});
        QCOMPARE(order, (QStringList{"answered", "rated"}));
        QCOMPARE(requestsTo("/v1/user/ocr_feedback").first().json(),
                 (QJsonObject{{"qelt_id", "q"}, {"ocr_feedback", 1}}));
    }
};

ZQ_TEST_MAIN(TestViewActions)
#include "test_view_actions.moc"
