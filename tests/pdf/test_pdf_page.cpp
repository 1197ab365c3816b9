#include "pdf/PdfConverterFrame.h"
#include "support/TestMain.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

// The PDF page's way to the other pages, and its list emptied at sign-out.
class TestPdfPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<PdfConverterFrame> m_page;

    template <typename T> T* child(const char* name) { return m_page->findChild<T*>(QLatin1String(name)); }

private slots:
    void init()
    {
        m_page = std::make_unique<PdfConverterFrame>(nullptr);
        m_page->resize(700, 500);
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.get(), zq::test::kWaitMs));
    }

    void toolbarLeadsToTheOtherPages_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("signal");
        QTest::newRow("screenshot") << "takeQeltButton" << QByteArray(SIGNAL(takeQelt()));
        QTest::newRow("upload") << "uploadQeltButton" << QByteArray(SIGNAL(uploadQelt()));
        QTest::newRow("drawing") << "drawQeltButton" << QByteArray(SIGNAL(drawQelt()));
        QTest::newRow("text") << "createTextQeltButton" << QByteArray(SIGNAL(createTextQelt()));
        QTest::newRow("gallery") << "showQeltListButton" << QByteArray(SIGNAL(showQeltList()));
        QTest::newRow("menu") << "settingsButton" << QByteArray(SIGNAL(showSettingsMenu(QPoint)));
        QTest::newRow("this page") << "convertPdfButton" << QByteArray();
    }

    void toolbarLeadsToTheOtherPages()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, signal);
        QList<std::shared_ptr<QSignalSpy>> spies;
        const QMetaObject* meta = m_page->metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            if (meta->method(i).methodType() == QMetaMethod::Signal)
                spies.append(std::make_shared<QSignalSpy>(m_page.get(), meta->method(i)));
        }
        auto* pushed = child<QPushButton>(qPrintable(button));
        QTest::mouseClick(pushed, Qt::LeftButton);
        // Exactly the one signal of the button, and none for the page's own.
        for (const auto& spy : spies)
            QCOMPARE(spy->count(), spy->signal() == signal.mid(1) ? 1 : 0);
        if (signal.contains("QPoint"))
            QCOMPARE(spies.last()->first().first().toPoint(),
                     pushed->mapToGlobal(QPoint(0, pushed->height() + 2)));
    }

    // At sign-out, or by its button: every row goes, the page's own text stays.
    void removeAllEmptiesTheList()
    {
        auto* list = child<QVBoxLayout>("listLayout");
        for (bool byButton : {false, true}) {
            QList<QPointer<QFrame>> added{new QFrame, new QFrame};
            for (QFrame* row : added)
                list->insertWidget(0, row);
            QCOMPARE(m_page->rowCount(), 2);
            child<QPushButton>("removeAllButton")->setEnabled(true);
            byButton ? QTest::mouseClick(child<QPushButton>("removeAllButton"), Qt::LeftButton)
                     : m_page->onRemoveAllClicked();
            QVERIFY(m_page->rowCount() == 0 && !added.first() && !added.last());
            QVERIFY(!child<QPushButton>("removeAllButton")->isEnabled());
            QVERIFY(child<QLabel>("emptyLabel")->isVisible());
        }
    }
};

ZQ_TEST_MAIN(TestPdfPage)
#include "test_pdf_page.moc"
