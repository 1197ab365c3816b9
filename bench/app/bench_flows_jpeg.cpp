// Cost of turning a captured region into the JPEG bytes of the recognition upload, against a bare
// QImage::save at the same quality into memory, measured in the same run: an 800x300 region and a whole
// 4K screen.
#include "app/flows/RecognitionUpload.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// Something like a screen: text-like strokes on a light page, a few coloured blocks.
QImage screenLike(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 248));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 2));
    for (int y = 20; y < height - 20; y += 24)
        for (int x = 20; x < width - 60; x += 37)
            painter.drawLine(x, y, x + 25 + (x * 7 + y) % 11, y + (x % 5) - 2);
    for (int i = 0; i < 8; ++i)
        painter.fillRect(QRect((i * 131) % width, (i * 97) % height, width / 10, height / 12),
                         QColor::fromHsv(i * 40, 120, 230));
    return image;
}

double medianMilliseconds(int rounds, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void measure(const char* name, const QImage& image, int rounds)
{
    const QPixmap pixmap = QPixmap::fromImage(image);
    volatile int sink = 0;
    const double bare = medianMilliseconds(rounds, [&] {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "jpg", RecognitionUpload::kJpegQuality);
        sink = sink + bytes.size();
    });
    const double ours =
        medianMilliseconds(rounds, [&] { sink = sink + RecognitionUpload::encodeJpeg(pixmap).size(); });
    std::printf("%-8s %5dx%-5d QImage::save %8.2f ms   encodeJpeg(pixmap) %8.2f ms   ratio %.2f\n", name,
                image.width(), image.height(), bare, ours, ours / bare);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    measure("region", screenLike(800, 300), 41);
    measure("4K", screenLike(3840, 2160), 11);
    return 0;
}
