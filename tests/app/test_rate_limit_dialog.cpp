// The rate-limit form as the user meets it, and the image filter of "Upload Qelt" on a real file dialog.
#include "app/RateLimitDialog.h"
#include "app/flows/RecognitionUpload.h"
#include "support/TestMain.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

class TestRateLimitDialog : public QObject
{
    Q_OBJECT

private slots:
    void showsTheServiceWordsAndLeadsToFeedback()
    {
        QWidget mainWindow;
        QPointer<RateLimitDialog> dialog = RateLimitDialog::showMessage("Daily limit reached.", &mainWindow);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->parentWidget(), &mainWindow);
        QCOMPARE(dialog->findChild<QLabel*>("error_text")->text(), QStringLiteral("Daily limit reached."));

        // The words keep clear of the window's edges.
        const QRect words = dialog->findChild<QLabel*>("error_text")->geometry();
        QVERIFY(words.left() > 0 && words.top() > 0 && words.right() < dialog->width() - 1);

        // A click on the link, where the user sees it, leads to the feedback window.
        QSignalSpy contact(dialog.data(), &RateLimitDialog::contactUs);
        auto* link = dialog->findChild<QLabel*>("contact_us");
        QCOMPARE(link->text().count("</a>"), 1);
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        QCOMPARE(contact.count(), 1);

        // Each limit reached opens a window of its own, which goes when closed, by its button or otherwise.
        QPointer<RateLimitDialog> second = RateLimitDialog::showMessage("Again.", nullptr);
        QVERIFY(second != dialog && !second->parentWidget());
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        buttons->button(QDialogButtonBox::Close)->click();
        second->close();
        QTRY_VERIFY(!dialog && !second);
    }

    void imageFilterListsTheImagesOfAFolder_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("the upload's filter") << kImageFileFilter << QStringList{"a.jpg", "b.jpeg", "c.png"};
        QTest::newRow("patterns joined by semicolons match nothing")
            << "Image files (*.jpg;*.jpeg;*.png)" << QStringList();
    }

    void imageFilterListsTheImagesOfAFolder()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, listed);
        QTemporaryDir folder;
        for (const char* name : {"a.jpg", "b.jpeg", "c.png", "d.txt", "e.pdf"}) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QFileDialog dialog(nullptr, "Upload Qelt", folder.path(), filter);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFiles);
        auto* model = dialog.findChild<QFileSystemModel*>();
        QVERIFY(model);
        QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
        QVERIFY(loaded.count() > 0 || loaded.wait(zq::test::kWaitMs));
        const QModelIndex root = model->index(folder.path());

        QStringList names;
        for (int row = 0; row < model->rowCount(root); ++row)
            names << model->index(row, 0, root).data().toString();
        names.sort();
        QCOMPARE(names, listed);
    }
};

ZQ_TEST_MAIN(TestRateLimitDialog)
#include "test_rate_limit_dialog.moc"
