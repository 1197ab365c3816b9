// Build-time tool: renders the bundle's raster pictures from their SVG sources and draws the
// loading animation, so that every picture in the bundle comes from text files in the repository.
//   renderArtwork png <source.svg> <target.png> <width> <height>
//   renderArtwork ico <source.svg> <target.ico>
//   renderArtwork spinner <target.gif>
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>
#include <QtEndian>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

QImage renderSvg(const QString& source, int width, int height)
{
    QSvgRenderer renderer(source);
    if (!renderer.isValid())
        return {};
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

bool save(const QString& target, const QByteArray& data)
{
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return false;
    return file.commit();
}

QByteArray pngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void appendLe16(QByteArray& out, int value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

void appendLe32(QByteArray& out, quint32 value)
{
    appendLe16(out, int(value & 0xffff));
    appendLe16(out, int(value >> 16));
}

// An icon file whose entries are PNG images, one per size.
QByteArray icoBytes(const QString& source)
{
    const int sizes[] = {16, 24, 32, 48, 64, 128, 256};
    std::vector<QByteArray> images;
    for (int size : sizes)
        images.push_back(pngBytes(renderSvg(source, size, size)));
    QByteArray out;
    appendLe16(out, 0);
    appendLe16(out, 1);
    appendLe16(out, int(images.size()));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.append(char(sizes[i] >= 256 ? 0 : sizes[i])); // 0 stands for 256
        out.append(char(sizes[i] >= 256 ? 0 : sizes[i]));
        out.append(char(0)); // no palette
        out.append(char(0));
        appendLe16(out, 1);  // planes
        appendLe16(out, 32); // bits per pixel
        appendLe32(out, quint32(images[i].size()));
        appendLe32(out, offset);
        offset += quint32(images[i].size());
    }
    for (const QByteArray& image : images)
        out += image;
    return out;
}

// GIF image data with 9-bit LZW codes and no string table: a clear code before the table would
// grow past 9 bits keeps every decoder at literal codes. Larger than real LZW, but tiny here.
QByteArray lzwLiterals(const std::vector<quint8>& indices)
{
    const int clearCode = 256;
    const int endCode = 257;
    QByteArray packed;
    quint32 bitBuffer = 0;
    int bitCount = 0;
    auto put = [&](int code) {
        bitBuffer |= quint32(code) << bitCount;
        bitCount += 9;
        while (bitCount >= 8) {
            packed.append(char(bitBuffer & 0xff));
            bitBuffer >>= 8;
            bitCount -= 8;
        }
    };
    int sinceClear = 0;
    put(clearCode);
    for (quint8 index : indices) {
        if (sinceClear == 250) {
            put(clearCode);
            sinceClear = 0;
        }
        put(index);
        ++sinceClear;
    }
    put(endCode);
    if (bitCount > 0)
        packed.append(char(bitBuffer & 0xff));

    QByteArray out;
    out.append(char(8)); // minimum code size
    for (int at = 0; at < packed.size(); at += 255) {
        const int length = qMin(255, packed.size() - at);
        out.append(char(length));
        out.append(packed.mid(at, length));
    }
    out.append(char(0));
    return out;
}

// Eight dots on a ring whose brightness runs round; white pixels are transparent.
QByteArray spinnerBytes()
{
    const int size = 48;
    const int frames = 8;
    const QColor blue(0x00, 0x93, 0xff);

    QByteArray out("GIF89a");
    appendLe16(out, size);
    appendLe16(out, size);
    out.append(char(0xF7)); // global colour table of 256 entries
    out.append(char(0));    // background index
    out.append(char(0));
    // Index 0 is transparent; 1 to 255 run from white to the blue.
    for (int i = 0; i < 256; ++i) {
        const double t = i == 0 ? 0.0 : (i - 1) / 254.0;
        out.append(char(qRound(255 + (blue.red() - 255) * t)));
        out.append(char(qRound(255 + (blue.green() - 255) * t)));
        out.append(char(qRound(255 + (blue.blue() - 255) * t)));
    }
    out.append("\x21\xFF\x0B"
               "NETSCAPE2.0\x03\x01\x00\x00\x00",
               19); // loop forever

    for (int frame = 0; frame < frames; ++frame) {
        QImage image(size, size, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        for (int dot = 0; dot < 8; ++dot) {
            const double angle = 2 * M_PI * dot / 8;
            const int age = (frame - dot + 8) % 8; // 0 = the leading dot
            QColor color = blue;
            color.setAlphaF(1.0 - age * 0.11);
            painter.setBrush(color);
            const QPointF centre(size / 2.0 + 16 * std::sin(angle), size / 2.0 - 16 * std::cos(angle));
            painter.drawEllipse(centre, 4.0 - age * 0.25, 4.0 - age * 0.25);
        }
        painter.end();

        std::vector<quint8> indices;
        indices.reserve(size * size);
        for (int y = 0; y < size; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < size; ++x) {
                const int red = qRed(line[x]);
                indices.push_back(red == 255 ? 0 : quint8(1 + qRound((255 - red) / 255.0 * 254)));
            }
        }
        out.append("\x21\xF9\x04\x09", 4); // restore to background, transparent index present
        appendLe16(out, 10);               // 100 ms
        out.append(char(0));
        out.append(char(0));
        out.append(char(0x2C));
        appendLe16(out, 0);
        appendLe16(out, 0);
        appendLe16(out, size);
        appendLe16(out, size);
        out.append(char(0));
        out += lzwLiterals(indices);
    }
    out.append(char(0x3B));
    return out;
}

int fail(const char* message)
{
    std::fprintf(stderr, "renderArtwork: %s\n", message);
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    // Plain painting on images: no application object and no platform plugin needed.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.size() == 6 && args[1] == QLatin1String("png")) {
        const QImage image = renderSvg(args[2], args[4].toInt(), args[5].toInt());
        if (image.isNull())
            return fail("cannot render the source");
        return save(args[3], pngBytes(image)) ? 0 : fail("cannot write the target");
    }
    if (args.size() == 4 && args[1] == QLatin1String("ico")) {
        if (!QSvgRenderer(args[2]).isValid())
            return fail("cannot render the source");
        return save(args[3], icoBytes(args[2])) ? 0 : fail("cannot write the target");
    }
    if (args.size() == 3 && args[1] == QLatin1String("spinner"))
        return save(args[2], spinnerBytes()) ? 0 : fail("cannot write the target");
    return fail("usage: png <svg> <png> <width> <height> | ico <svg> <ico> | spinner <gif>");
}
