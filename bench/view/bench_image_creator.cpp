// Times the result image renderer in a real web engine: from create() to the finished image, for a
// one-line formula and for a document about 3000 px tall, at a screen resolution (96 dpi) and at the
// default preset (12 pt at 600 dpi). Prints the median of repeated runs and the image's size; the
// pieces of at most 1000 px, each grabbed from the first frame the page shows it in, set the floor.

#include "support/TestEnvironment.h"
#include "view/bridge/ImageCreator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTextStream>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

constexpr int kRuns = 5;
const QUrl kPage(QStringLiteral("qrc:/html/zorvane_qelting_editor.html"));

// Milliseconds to the image and the image, or a negative time when no image came.
std::pair<double, QImage> render(ImageCreator& creator, const ImageRequest& request)
{
    QSignalSpy ready(&creator, &ImageCreator::imageReady);
    QElapsedTimer clock;
    clock.start();
    if (!creator.create(request) || !ready.wait(300000))
        return {-1, QImage()};
    return {clock.nsecsElapsed() / 1e6, ready[0][0].value<QImage>()};
}

QString document(int paragraphs)
{
    QStringList lines;
    for (int i = 0; i < paragraphs; ++i)
        lines << QStringLiteral("Paragraph %1 says that $x_{%1}^2 + y^2 = r^2$ holds.").arg(i) << QString();
    return lines.join(QLatin1Char('\n'));
}

} // namespace

int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    QApplication app(argc, argv);
    zq::test::prepareApplication();
    QWidget parent;
    parent.show();
    ImageCreator creator(kPage, &parent);
    render(creator, {QStringLiteral("x"), false, Preset()}); // loads the page and warms the engines

    QTextStream out(stdout);
    const Preset screen(QStringLiteral("screen"), 0, 12, 96, Preset::Black, Preset::White, QString());
    for (const Preset& preset : {screen, Preset()}) {
        // As many paragraphs as make the image about 3000 px tall at this preset.
        const int probe = 10;
        const int probeHeight = render(creator, {document(probe), true, preset}).second.height();
        const int paragraphs = std::max(1, probe * 3000 / std::max(1, probeHeight));
        const std::pair<QString, ImageRequest> cases[] = {
            {QStringLiteral("one-line formula"),
             {QStringLiteral("\\int_0^1 x^2\\,dx = \\frac{1}{3}"), false, preset}},
            {QStringLiteral("document ~3000 px tall"), {document(paragraphs), true, preset}}};
        for (const auto& [name, request] : cases) {
            std::vector<double> times;
            QSize size;
            for (int run = 0; run < kRuns; ++run) {
                const auto [ms, image] = render(creator, request);
                times.push_back(ms);
                size = image.size();
            }
            std::sort(times.begin(), times.end());
            out << QStringLiteral("%1 at %2 dpi: %3 ms median of %4 (image %5 x %6)\n")
                       .arg(name, -24)
                       .arg(preset.dpi, 3)
                       .arg(times[times.size() / 2], 8, 'f', 1)
                       .arg(kRuns)
                       .arg(size.width())
                       .arg(size.height());
            out.flush();
        }
    }
    return 0;
}
