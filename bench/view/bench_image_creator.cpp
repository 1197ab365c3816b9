// Times the result image renderer in a real web engine: from create() to the finished image, for a
// one-line formula and for a document about 3000 px tall, at a screen resolution (96 dpi) and at the
// default preset (12 pt at 600 dpi). Prints the median of repeated runs and the image's size; the
// pieces of at most 1000 px, each grabbed from the first frame the page shows it in, set the floor. The
// baseline in the same run: the same text at the same font size rendered by a bare editor view and grabbed
// once, as a renderer that needs neither pieces nor settled frames would.

#include "support/TestEnvironment.h"
#include "view/bridge/ImageCreator.h"
#include "view/bridge/WebViewWrapper.h"
#include "view/render/imageChunks.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTextStream>
#include <QWebEngineView>
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

// The baseline: milliseconds to the text rendered and one grab of it, or negative when no result came.
double bareRender(WebViewWrapper& wrapper, QWebEngineView& view, const ImageRequest& request)
{
    QSignalSpy applied(&wrapper, &WebViewWrapper::resultApplied);
    QElapsedTimer clock;
    clock.start();
    wrapper.setColors(Qt::black, Qt::white, imageChunks::fontPixels(request.preset));
    if (request.markdown)
        wrapper.setText(request.text, false);
    else
        wrapper.setLatex(request.text, false);
    if (!applied.wait(300000))
        return -1;
    const ContentInfo info = applied[0][0].value<ContentInfo>();
    view.resize(std::min(info.width + 42, 1000), std::min(info.height + 16, 1000));
    const QPixmap grabbed = view.grab();
    return grabbed.isNull() ? -1 : clock.nsecsElapsed() / 1e6;
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
    QWebEngineView bareView(&parent);
    bareView.show();
    WebViewWrapper bare(&bareView, kPage, 0);
    bareRender(bare, bareView, {QStringLiteral("x"), false, Preset()});

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
            std::vector<double> times, bareTimes;
            QSize size;
            for (int run = 0; run < kRuns; ++run) {
                const auto [ms, image] = render(creator, request);
                times.push_back(ms);
                size = image.size();
                bareTimes.push_back(bareRender(bare, bareView, request));
            }
            std::sort(times.begin(), times.end());
            std::sort(bareTimes.begin(), bareTimes.end());
            const double median = times[times.size() / 2], bareMedian = bareTimes[bareTimes.size() / 2];
            out << QStringLiteral("%1 at %2 dpi: %3 ms median of %4 (image %5 x %6); bare render and grab "
                                  "%7 ms, ratio %8 x\n")
                       .arg(name, -24)
                       .arg(preset.dpi, 3)
                       .arg(median, 8, 'f', 1)
                       .arg(kRuns)
                       .arg(size.width())
                       .arg(size.height())
                       .arg(bareMedian, 0, 'f', 1)
                       .arg(bareMedian > 0 ? median / bareMedian : 0.0, 0, 'f', 2);
            out.flush();
        }
    }
    return 0;
}
