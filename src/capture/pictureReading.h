#pragma once

#include <QImage>
#include <QString>

class QIODevice;

// Decoding of the desktop pictures that screenshot services hand over. The pictures come from other
// processes: a header that claims an absurd size is refused before any pixel memory is taken.
namespace utils::capture {

// Far beyond any real desktop (sixteen 4K monitors), well below what would exhaust memory.
constexpr qint64 kMaximumPicturePixels = qint64(16) * 3840 * 2160;
constexpr int kMaximumPictureSide = 32768;

// The image in device, format detected from the content when format is empty; null when unreadable or
// too large.
QImage readPicture(QIODevice* device, const QByteArray& format = QByteArray());

// The same for a file.
QImage readPictureFile(const QString& path);

} // namespace utils::capture
