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

namespace {

template <typename T> T* child(QWidget* dialog, const char* name)
{
    return dialog->findChild<T*>(name);
}

} // namespace

class TestSmallDialogs : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    zq::test::FakeService m_service;

private slots:
    void initTestCase()
    {
        APIHandler::init(&m_manager);
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        utils::overrideBaseUrlsForTesting(m_service.baseUrl());
        m_service.on("POST", "/v1/user/ocr_feedback", zq::test::Reply::json(QJsonObject()));
    }

    void init()
    {
        zq::test::clearSettings();
        utils::setAuthInfo("ada@example.org", "t0ken");
        m_service.clearRequests();
    }

    void feedbackIsHandedOnTrimmed_data()
    {
        QTest::addColumn<bool>("hideEmail");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QVariantList>("sent"); // empty: Send stays disabled
        QTest::newRow("signed in") << true << "  Great app \n"
                                   << "" << QVariantList{"Great app", ""};
        QTest::newRow("signed out") << false << "Nice"
                                    << " ada@example.org " << QVariantList{"Nice", "ada@example.org"};
        QTest::newRow("not an e-mail") << false << "Nice"
                                       << "ada@" << QVariantList();
        QTest::newRow("blank text") << true << " \n\t"
                                    << "" << QVariantList();
    }

    void feedbackIsHandedOnTrimmed()
    {
        QFETCH(bool, hideEmail);
        QFETCH(QVariantList, sent);
        QPointer<FeedbackDialog> dialog = new FeedbackDialog(nullptr, hideEmail);
        dialog->show();
        QSignalSpy spy(dialog.data(), &FeedbackDialog::SendFeedback);
        QCOMPARE(child<QLineEdit>(dialog, "le_email")->isVisible(), !hideEmail);
        QFETCH(QString, text);
        QFETCH(QString, email);
        child<QPlainTextEdit>(dialog, "te_feedback")->setPlainText(text);
        child<QLineEdit>(dialog, "le_email")->setText(email);
        QTest::mouseClick(child<QPushButton>(dialog, "but_send"), Qt::LeftButton);
        QCOMPARE(spy.value(0), sent);
        if (!sent.isEmpty())
            QTRY_VERIFY(!dialog);
        delete dialog;
    }

    void closingWithUnsentTextAsksFirst()
    {
        QPointer<FeedbackDialog> dialog = new FeedbackDialog(nullptr, true);
        dialog->show();
        child<QPlainTextEdit>(dialog, "te_feedback")->setPlainText("Half a thought");
        MessageBox::setNextAnswer(QMessageBox::No);
        dialog->close();
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
        const auto categories = [](bool recognition, bool formatting, bool other) {
            return QJsonObject{{"recognition", recognition}, {"formatting", formatting}, {"other", other}};
        };
        const QJsonObject base{{"qelt_id", "q1"}, {"ocr_feedback", 0}};
        QJsonObject recognition = base, formatting = base, comment = base, both = base;
        recognition["mistake_category"] = categories(true, false, false);
        formatting["mistake_category"] = categories(false, true, false);
        comment["comment"] = "x is y";
        both["mistake_category"] = categories(false, true, true);
        both["comment"] = "Bad";
        QTest::newRow("recognition") << QStringList{"cb_recognition"} << "" << recognition;
        QTest::newRow("formatting") << QStringList{"cb_formatting"} << "" << formatting;
        QTest::newRow("comment only") << QStringList() << "  x is y \n" << comment;
        QTest::newRow("two and a comment") << QStringList{"cb_formatting", "cb_other"} << "Bad" << both;
    }

    void reportSendsTheThumbsDownWithWhatWentWrong()
    {
        QFETCH(QStringList, checked);
        ReportDialog dialog(nullptr, "q1");
        QVERIFY(dialog.isModal());
        QFETCH(QString, comment);
        child<QPlainTextEdit>(&dialog, "te_comment")->setPlainText(comment);
        for (const QString& box : checked)
            dialog.findChild<QCheckBox*>(box)->setChecked(true);
        QTimer::singleShot(0, &dialog, [&dialog] { child<QPushButton>(&dialog, "but_send")->click(); });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QTRY_COMPARE(m_service.requestCount(), 1);
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
        // A later send shows that nothing went before it.
        APIHandler::sendOcrFeedback("marker", 1, {}, {});
        QTRY_COMPARE(m_service.requestCount(), 1);
        QCOMPARE(m_service.requests().first().json().value("qelt_id").toString(), QString("marker"));
        ReportDialog noQelt(nullptr, QString());
        QVERIFY(child<QCheckBox>(&noQelt, "cb_dont_show")->isChecked());
        noQelt.findChild<QCheckBox*>("cb_other")->setChecked(true);
        QVERIFY(!child<QPushButton>(&noQelt, "but_send")->isEnabled());
    }

    void tutorialWalksItsPagesAndNamesTheCaptureHotkey()
    {
        utils::setShortcutLatex(
            utils::shortcuts::Shortcut(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_7));
        QPointer<TutorialDialog> dialog = new TutorialDialog();
        dialog->show();
        QVERIFY(child<QLabel>(dialog, "page_capture_text")->text().contains("<b>CTRL + SHIFT + 7</b>"));
        QVERIFY(child<QLabel>(dialog, "page_more_text")->text().contains(TutorialDialog::examplesUrl()));
        QPushButton* next = child<QPushButton>(dialog, "but_next");
        next->click();
        next->click();
        QCOMPARE(child<QLabel>(dialog, "lb_page")->text(), QString("3 / 3"));
        QVERIFY(!next->isVisible() && child<QPushButton>(dialog, "but_done")->isVisible());
        child<QPushButton>(dialog, "but_done")->click();
        QTRY_VERIFY(!dialog);
    }
};

ZQ_TEST_MAIN(TestSmallDialogs)
#include "test_small_dialogs.moc"
