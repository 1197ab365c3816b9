// Cost of the image helpers on an export-sized picture (a formula rendered at 600 dpi), against
// one plain pass over every pixel of the same picture, measured in the same run.

#include "core/images.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>

#include <cstdio>
#include <functional>

namespace {

QImage renderedFormula()
{
    QImage image(4000, 1200, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 9));
    for (int i = 0; i < 40; ++i)
        painter.drawEllipse(QRectF(600 + i * 70, 450 + (i % 5) * 20, 60, 120));
    painter.drawLine(600, 700, 3400, 700);
    return image;
}

double bestMilliseconds(const std::function<void()>& work)
{
    double best = 1e12;
    for (int round = 0; round < 7; ++round) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QImage picture = renderedFormula();
    volatile quint64 sink = 0;

    const double baseline = bestMilliseconds([&] {
        quint64 sum = 0;
        for (int y = 0; y < picture.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                sum += line[x];
        }
        sink = sum;
    });
    const double trim = bestMilliseconds([&] { sink = sink + utils::trimToContent(picture).width(); });
    const double trimOn =
        bestMilliseconds([&] { sink = sink + utils::trimToContentOn(picture, Qt::white).width(); });
    const double alpha =
        bestMilliseconds([&] { sink = sink + utils::backgroundToAlpha(picture, Qt::black).width(); });

    std::printf("picture %dx%d\n", picture.width(), picture.height());
    std::printf("one pass over every pixel (baseline): %8.2f ms\n", baseline);
    std::printf("trimToContent:                        %8.2f ms  ratio %.2f\n", trim, trim / baseline);
    std::printf("trimToContentOn:                      %8.2f ms  ratio %.2f\n", trimOn, trimOn / baseline);
    std::printf("backgroundToAlpha:                    %8.2f ms  ratio %.2f\n", alpha, alpha / baseline);
    return 0;
}
