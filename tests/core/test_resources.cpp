#include "support/TestMain.h"

#include "core/fonts.h"

#include <QDirIterator>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImageReader>
#include <QLabel>
#include <QMovie>
#include <QSvgRenderer>

namespace {

// Every resource path that the application's code reads.
const char* const kReadPaths[] = {
    ":/html/zorvane_qelting_editor.html",
    ":/fonts/IBMPlexSans-Regular.ttf",
    ":/fonts/Inconsolata-VariableFont.ttf",
    ":/logo/logo (32x32).svg",
    ":/logo/logo-white (32x32).svg",
    ":/logo/logo-black (32x32).svg",
    ":/logo/logo-dark (32x32).svg",
    ":/logo/logo (256x256).png",
    ":/logo/logo.ico",
    ":/images/Hide.svg",
    ":/images/Show.svg",
    ":/images/add-images.svg",
    ":/images/clear-chat.svg",
    ":/images/draw-qelt.svg",
    ":/images/external-link.svg",
    ":/images/file-type-pdf.svg",
    ":/images/keyboard.svg",
    ":/images/list-active.svg",
    ":/images/list.svg",
    ":/images/loading_spinner.gif",
    ":/images/make-screenshot.svg",
    ":/images/settings.svg",
    ":/images/submit-active.svg",
    ":/images/submit.svg",
    ":/images/trash.svg",
    ":/images/zorvane-avatar.svg",
    ":/images/drawing/bg-dots.svg",
    ":/images/drawing/bg-v-lines.svg",
    ":/images/drawing/bg-grid.svg",
    ":/images/new_design/arrow_make_qelt.png",
    ":/images/new_design/copy_mathml.svg",
    ":/images/new_design/edit-off.svg",
    ":/images/new_design/edit-on.svg",
    ":/images/new_design/email_icon.svg",
    ":/images/new_design/export.svg",
    ":/images/new_design/icon-nav-chevron-left.svg",
    ":/images/new_design/icon-nav-chevron-right.svg",
    ":/images/new_design/icon-nav-double-chevron-left.svg",
    ":/images/new_design/icon-nav-double-chevron-right.svg",
    ":/images/new_design/image_option-off.png",
    ":/images/new_design/image_option-on.png",
    ":/images/new_design/no_image.svg",
    ":/images/new_design/question_off.svg",
    ":/images/new_design/question_on.svg",
    ":/images/new_design/search_off.svg",
    ":/images/new_design/search_on.svg",
    ":/images/new_design/thumbs_up.svg",
    ":/images/new_design/thumbs_up_disable.svg",
    ":/images/new_design/thumbs_up_on.svg",
    ":/images/new_design/thumbs_down.svg",
    ":/images/new_design/thumbs_down_disable.svg",
    ":/images/new_design/thumbs_down_on.svg",
    ":/images/new_design/view_menu_copy.svg",
    ":/images/new_design/view_menu_copy_hover.svg",
    ":/images/new_design/view_menu_open.svg",
    ":/images/new_design/view_menu_open_16x16.svg",
    ":/desktop/zorvane-qelting-tool.desktop",
};

// The share of pixels of a picture that are not fully transparent.
double coverage(const QImage& image)
{
    int painted = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            painted += qAlpha(image.pixel(x, y)) > 0;
    }
    return double(painted) / (image.width() * image.height());
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void everyPathTheCodeReadsExists_data()
    {
        QTest::addColumn<QString>("path");
        for (const char* path : kReadPaths)
            QTest::newRow(path) << QString::fromUtf8(path);
    }

    void everyPathTheCodeReadsExists()
    {
        QFETCH(QString, path);
        QVERIFY2(QFile::exists(path), qPrintable(path));
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
                QVERIFY2(renderer.isValid(), qPrintable(path));
                QVERIFY2(!renderer.defaultSize().isEmpty(), qPrintable(path));
                ++pictures;
            } else if (path.endsWith(QLatin1String(".png"))) {
                const QImage image(path);
                QVERIFY2(!image.isNull(), qPrintable(path));
                QVERIFY2(coverage(image) > 0.01, qPrintable(path));
                if (path.contains(QLatin1String("@2x"))) {
                    const QImage single(QString(path).remove(QStringLiteral("@2x")));
                    QCOMPARE(image.size(), single.size() * 2);
                }
                ++pictures;
            }
        }
        QVERIFY(pictures >= 60);
    }

    void applicationIconIsReadableAtEverySize_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {16, 24, 32, 256})
            QTest::newRow(qPrintable(QString::number(size))) << size;
    }

    void applicationIconIsReadableAtEverySize()
    {
        QFETCH(int, size);
        const QImage image = QIcon(QStringLiteral(":/logo/logo (32x32).svg")).pixmap(size, size).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        // A solid badge with a mark that keeps light and dark apart even at 16 pixels.
        QVERIFY(coverage(image) > 0.8);
        int light = 0;
        int dark = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb p = image.pixel(x, y);
                if (qAlpha(p) < 255)
                    continue;
                light += qGray(p) > 200;
                dark += qGray(p) < 140;
            }
        }
        QVERIFY(light > size * size / 10);
        QVERIFY(dark > size * size / 4);

        QImageReader ico(QStringLiteral(":/logo/logo.ico"));
        bool found = false;
        for (int i = 0; i < ico.imageCount(); ++i) {
            QVERIFY(ico.jumpToImage(i));
            found = found || ico.read().size() == QSize(size, size);
        }
        QVERIFY2(found, "the icon file holds every size");
        QCOMPARE(QImage(QStringLiteral(":/logo/logo (256x256).png")).size(), QSize(256, 256));
    }

    void spinnerIsAnAnimation()
    {
        QMovie movie(QStringLiteral(":/images/loading_spinner.gif"));
        QVERIFY(movie.isValid());
        QVERIFY(movie.frameCount() >= 8);
        QVERIFY(movie.jumpToFrame(0));
        const QImage first = movie.currentImage();
        QVERIFY(movie.jumpToFrame(1));
        QVERIFY(movie.currentImage() != first);
        QVERIFY(first.hasAlphaChannel());
        QCOMPARE(qAlpha(first.pixel(0, 0)), 0);
    }

    void desktopEntryHasItsSixLines()
    {
        QFile file(QStringLiteral(":/desktop/zorvane-qelting-tool.desktop"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines, QStringList({"[Desktop Entry]", "Name=Zorvane Qelting Tool",
                                     "Exec=zorvane-qelting-tool", "Type=Application", "Version=02.01.0005",
                                     "X-KDE-DBUS-Restricted-Interfaces=org.kde.kwin.Screenshot,org.kde.KWin."
                                     "ScreenShot2"}));
    }

    void fontsRegisterWithTheirLicences()
    {
        const int plex = QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/IBMPlexSans-Regular.ttf"));
        const int code =
            QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/Inconsolata-VariableFont.ttf"));
        QVERIFY(plex >= 0);
        QVERIFY(code >= 0);
        QCOMPARE(QFontDatabase::applicationFontFamilies(plex), QStringList(QStringLiteral("IBM Plex Sans")));
        QCOMPARE(QFontDatabase::applicationFontFamilies(code), QStringList(QStringLiteral("Inconsolata")));
        for (const char* licence : {":/fonts/IBMPlexSans-LICENSE.txt", ":/fonts/Inconsolata-LICENSE.txt"}) {
            QFile file(QString::fromLatin1(licence));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.readAll().contains("SIL OPEN FONT LICENSE"));
        }
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
        plain.ensurePolished();
        code.ensurePolished();
        QCOMPARE(QFontInfo(plain.font()).family(), QStringLiteral("IBM Plex Sans"));
        // A machine may have its own copy too, which the font system may name with its foundry.
        QVERIFY(QFontInfo(code.font()).family().startsWith(QLatin1String("Inconsolata")));
        QVERIFY(QFontInfo(code.font()).fixedPitch());
        qApp->setStyleSheet(QString());
    }
};

ZQ_TEST_MAIN(TestResources)
#include "test_resources.moc"
