#include "support/TestMain.h"

#include "core/ui/fonts.h"

#include <QDirIterator>
#include <QFontInfo>
#include <QImageReader>
#include <QLabel>
#include <QSvgRenderer>

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void everyResourceNamedInTheSourcesExists()
    {
        const QRegularExpression literal(QStringLiteral("\"(?:qrc)?(:/[^\"]+)\""));
        QDirIterator it(qEnvironmentVariable("ZQ_SOURCE_DIR") + "/src", {"*.cpp", "*.h"}, QDir::Files,
                        QDirIterator::Subdirectories);
        int found = 0;
        while (it.hasNext()) {
            QFile source(it.next());
            QVERIFY(source.open(QIODevice::ReadOnly));
            auto matches = literal.globalMatch(QString::fromUtf8(source.readAll()));
            for (; matches.hasNext(); ++found) {
                const QString path = matches.next().captured(1);
                QVERIFY2(QFile::exists(path), qPrintable(it.filePath() + ": " + path));
            }
        }
        QVERIFY(found >= 4);
    }

    void everyPictureInTheBundleDecodes()
    {
        int pictures = 0;
        QDirIterator it(QStringLiteral(":/"), QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.startsWith(QLatin1String(":/qt-project.org")))
                continue;
            if (path.endsWith(QLatin1String(".svg"))) {
                QSvgRenderer renderer(path);
                QVERIFY2(renderer.isValid() && !renderer.defaultSize().isEmpty(), qPrintable(path));
            } else if (QRegularExpression("\\.(png|gif|ico)$").match(path).hasMatch()) {
                QVERIFY2(!QImage(path).isNull(), qPrintable(path));
            } else {
                continue;
            }
            ++pictures;
        }
        QVERIFY(pictures >= 60);
        QImageReader ico(QStringLiteral(":/logo/logo.ico"));
        QSet<int> sizes;
        for (int i = 0; i < ico.imageCount() && ico.jumpToImage(i); ++i)
            sizes << ico.read().width();
        QVERIFY2(sizes.contains({16, 24, 32, 256}), "the icon file holds every size");
    }

    void applicationFontAndCodeFontReachTheWidgets()
    {
        qApp->setStyleSheet(utils::codeFontStyleSheet());
        utils::loadApplicationFonts();
        QCOMPARE(QApplication::font().family(), QStringLiteral("IBM Plex Sans"));
        QCOMPARE(QApplication::font().pixelSize(), 14);
        QLabel plain(QStringLiteral("x"));
        QLabel code(QStringLiteral("\\frac{a}{b}"));
        utils::markAsCodeHolder(&code);
        utils::markAsCodeHolder(nullptr);
        plain.ensurePolished();
        code.ensurePolished();
        QCOMPARE(QFontInfo(plain.font()).family(), QStringLiteral("IBM Plex Sans"));
        // A machine may have its own copy too, which the font system may name with its foundry.
        QVERIFY(QFontInfo(code.font()).family().startsWith(QLatin1String("Inconsolata")));
        QVERIFY(QFontInfo(code.font()).fixedPitch());
        qApp->setStyleSheet(QString());
        QVERIFY(QFile::exists(QLatin1Char(':') + utils::editorPageUrl().path()));
    }
};

ZQ_TEST_MAIN(TestResources)
#include "test_resources.moc"
