// The feedback, mistake-report and tutorial dialogs; the report goes to the fake service over loopback.
#include "dialogs/FeedbackDialog.h"
#include "dialogs/ReportDialog.h"
#include "dialogs/TutorialDialog.h"

#include "api/APIHandler.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/shortcuts.h"
#include "core/ui/MessageBox.h"
#include "core/userState.h"
#include "support/FakeService.h"
#include "support/TestMain.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QPushButton>

using zq::test::Reply;

class TestSmallDialogs : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    zq::test::FakeService m_service;

    template <typename T> static T* child(QWidget* dialog, const char* name)
    {
        return dialog->findChild<T*>(name);
    }

private slots:
    void initTestCase()
    {
        APIHandler::init(&m_manager);
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        utils::overrideBaseUrlsForTesting(m_service.baseUrl());
    }

    void init()
    {
        zq::test::clearSettings();
        utils::setAuthInfo("ada@example.org", "t0ken");
        m_service.clearRoutes();
        m_service.clearRequests();
        m_service.on("POST", "/v1/user/ocr_feedback", Reply::json(QJsonObject()));
    }

    void feedbackIsHandedOnTrimmedAndTheWindowGoes_data()
    {
        QTest::addColumn<bool>("hideEmail");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("email");
        QTest::addColumn<bool>("sendable");
        QTest::addColumn<QString>("sentEmail");
        QTest::newRow("signed in") << true << "  Great app \n"
                                   << "" << true << "";
        QTest::newRow("signed out with e-mail") << false << "Nice"
                                                << " ada@example.org " << true << "ada@example.org";
        QTest::newRow("signed out without e-mail") << false << "Nice"
                                                   << "" << true << "";
        QTest::newRow("not an e-mail") << false << "Nice"
                                       << "ada@" << false << "";
        QTest::newRow("blank text") << true << " \n\t"
                                    << "" << false << "";
    }

    void feedbackIsHandedOnTrimmedAndTheWindowGoes()
    {
        QFETCH(bool, hideEmail);
        QFETCH(QString, text);
        QFETCH(QString, email);
        QFETCH(bool, sendable);
        QPointer<FeedbackDialog> dialog = new FeedbackDialog(nullptr, hideEmail);
        dialog->show();
        QSignalSpy sent(dialog.data(), &FeedbackDialog::SendFeedback);
        QCOMPARE(child<QLineEdit>(dialog, "le_email")->isVisible(), !hideEmail);
        child<QPlainTextEdit>(dialog, "te_feedback")->setPlainText(text);
        if (!hideEmail)
            child<QLineEdit>(dialog, "le_email")->setText(email);
        QPushButton* send = child<QPushButton>(dialog, "but_send");
        QCOMPARE(send->isEnabled(), sendable);
        QTest::mouseClick(send, Qt::LeftButton);
        if (!sendable) {
            QCOMPARE(sent.count(), 0);
            if (!text.trimmed().isEmpty())
                MessageBox::setNextAnswer(QMessageBox::Yes);
            dialog->reject();
            QTRY_VERIFY(!dialog);
            return;
        }
        QCOMPARE(sent.count(), 1);
        QCOMPARE(sent.first().at(0).toString(), text.trimmed());
        QTEST(sent.first().at(1).toString(), "sentEmail");
        QTRY_VERIFY(!dialog);
    }

    void closingWithUnsentTextAsksFirst()
    {
        QPointer<FeedbackDialog> dialog = new FeedbackDialog(nullptr, true);
        dialog->show();
        dialog->reject(); // nothing typed: no question
        QTRY_VERIFY(!dialog);
        dialog = new FeedbackDialog(nullptr, true);
        dialog->show();
        child<QPlainTextEdit>(dialog, "te_feedback")->setPlainText("Half a thought");
        MessageBox::setNextAnswer(QMessageBox::No);
        dialog->reject();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dialog && dialog->isVisible());
        MessageBox::setNextAnswer(QMessageBox::Yes);
        dialog->close();
        QTRY_VERIFY(!dialog);
    }

    void reportSendsTheThumbsDownWithWhatWentWrong_data()
    {
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QJsonObject>("body");
        QTest::newRow("recognition") << QStringList{"cb_recognition"} << ""
                                     << QJsonObject{{"qelt_id", "q1"},
                                                    {"ocr_feedback", 0},
                                                    {"mistake_category", QJsonObject{{"recognition", true},
                                                                                     {"formatting", false},
                                                                                     {"other", false}}}};
        QTest::newRow("comment only")
            << QStringList() << "  x is y \n"
            << QJsonObject{{"qelt_id", "q1"}, {"ocr_feedback", 0}, {"comment", "x is y"}};
        QTest::newRow("two and a comment")
            << QStringList{"cb_formatting", "cb_other"} << "Bad"
            << QJsonObject{{"qelt_id", "q1"},
                           {"ocr_feedback", 0},
                           {"comment", "Bad"},
                           {"mistake_category",
                            QJsonObject{{"recognition", false}, {"formatting", true}, {"other", true}}}};
    }

    void reportSendsTheThumbsDownWithWhatWentWrong()
    {
        QFETCH(QStringList, checked);
        QFETCH(QString, comment);
        ReportDialog dialog(nullptr, "q1");
        QVERIFY(dialog.isModal());
        QVERIFY(!child<QPushButton>(&dialog, "but_send")->isEnabled());
        for (const QString& box : checked)
            dialog.findChild<QCheckBox*>(box)->setChecked(true);
        child<QPlainTextEdit>(&dialog, "te_comment")->setPlainText(comment);
        QTimer::singleShot(0, &dialog, [&dialog] { child<QPushButton>(&dialog, "but_send")->click(); });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QTRY_COMPARE(m_service.requestsTo("/v1/user/ocr_feedback").size(), 1);
        QTEST(m_service.requests().first().json(), "body");
    }

    void cancelledReportSendsNothingAndCanStopTheNextOnes()
    {
        ReportDialog dialog(nullptr, "q1");
        dialog.findChild<QCheckBox*>("cb_other")->setChecked(true);
        child<QCheckBox>(&dialog, "cb_dont_show")->setChecked(true);
        QCOMPARE(kKeyShowOCRFeedback.get(), false);
        QTimer::singleShot(0, &dialog, [&dialog] { child<QPushButton>(&dialog, "but_cancel")->click(); });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        // Another send shows that nothing went before it.
        APIHandler::sendOcrFeedback("marker", 1, {}, {});
        QTRY_COMPARE(m_service.requestCount(), 1);
        QCOMPARE(m_service.requests().first().json().value("qelt_id").toString(), QString("marker"));
        ReportDialog again(nullptr, "q2");
        QVERIFY(child<QCheckBox>(&again, "cb_dont_show")->isChecked());
        child<QCheckBox>(&again, "cb_dont_show")->setChecked(false);
        QCOMPARE(kKeyShowOCRFeedback.get(), true);
    }

    void reportForNoQeltCannotBeSent()
    {
        ReportDialog dialog(nullptr, QString());
        dialog.findChild<QCheckBox*>("cb_other")->setChecked(true);
        QVERIFY(!child<QPushButton>(&dialog, "but_send")->isEnabled());
    }

    void tutorialWalksItsPagesAndNamesTheCaptureHotkey_data()
    {
        QTest::addColumn<bool>("hotkeyEnabled");
        QTest::addColumn<QString>("mention");
        QTest::newRow("enabled") << true << "<b>CTRL + SHIFT + 7</b>";
        QTest::newRow("disabled") << false << "the capture hotkey";
    }

    void tutorialWalksItsPagesAndNamesTheCaptureHotkey()
    {
        QFETCH(bool, hotkeyEnabled);
        QFETCH(QString, mention);
        utils::setShortcutLatex(
            utils::shortcuts::Shortcut(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_7));
        utils::setShortcutEnabled("latex", hotkeyEnabled);
        QPointer<TutorialDialog> dialog = new TutorialDialog();
        dialog->show();
        QVERIFY(child<QLabel>(dialog, "page_capture_text")->text().contains(mention));
        QVERIFY(child<QLabel>(dialog, "page_more_text")->text().contains(TutorialDialog::examplesUrl()));
        QPushButton* next = child<QPushButton>(dialog, "but_next");
        QPushButton* done = child<QPushButton>(dialog, "but_done");
        QVERIFY(!child<QPushButton>(dialog, "but_back")->isEnabled());
        QVERIFY(!done->isVisible());
        next->click();
        next->click();
        QCOMPARE(child<QLabel>(dialog, "lb_page")->text(), QString("3 / 3"));
        QVERIFY(!next->isVisible() && done->isVisible());
        done->click();
        QTRY_VERIFY(!dialog);
    }
};

ZQ_TEST_MAIN(TestSmallDialogs)
#include "test_small_dialogs.moc"
