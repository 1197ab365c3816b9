#include "core/identity.h"
#include "core/ui/screens.h"
#include "support/TestMain.h"

#include <QScreen>
#include <QWidget>

class TestScreens : public QObject
{
    Q_OBJECT

private slots:
    void fittingBox_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("target");
        QTest::addColumn<QSize>("box");
        QTest::newRow("no width") << QSize(0, 50) << QSize(100, 100) << QSize(0, 50);
        QTest::newRow("no height") << QSize(50, 0) << QSize(100, 100) << QSize(50, 0);
        QTest::newRow("wide") << QSize(200, 100) << QSize(100, 100) << QSize(100, 51);
        QTest::newRow("tall") << QSize(100, 200) << QSize(100, 100) << QSize(51, 100);
        QTest::newRow("square") << QSize(300, 300) << QSize(100, 100) << QSize(100, 101);
        QTest::newRow("upscale") << QSize(10, 5) << QSize(400, 300) << QSize(400, 201);
        QTest::newRow("thin") << QSize(3, 1000) << QSize(640, 480) << QSize(2, 480);
        QTest::newRow("thin beyond int") << QSize(1, 32767) << QSize(70000, 480) << QSize(1, 480);
        QTest::newRow("thin at the int limit") << QSize(1, 32768) << QSize(65536, 480) << QSize(1, 480);
    }

    void fittingBox()
    {
        QFETCH(QSize, source);
        QFETCH(QSize, target);
        QFETCH(QSize, box);
        QCOMPARE(utils::scaleFactor(source, target), box);
        if (source.isEmpty())
            return;
        // What callers do with the box: the scaled image fits the target and fills one side.
        const QSize scaled = source.scaled(box, Qt::KeepAspectRatio);
        QVERIFY(scaled.width() <= target.width() && scaled.height() <= target.height());
        QVERIFY(scaled.width() == target.width() || scaled.height() == target.height());
    }
};

ZQ_TEST_MAIN(TestScreens)
#include "test_screens.moc"
