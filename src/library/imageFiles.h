#pragma once

#include <QSize>
#include <QString>

#include <atomic>

class QImage;

// The width of one gallery card, 0 until the gallery first lays its cards out. The gallery writes it on
// the GUI thread; the image downloader reads it on its worker thread.
extern std::atomic<int> galleryCardWidth;

namespace utils {

// The application's data folder; empty, with a critical log line, when the system names none. The
// library checks it before it touches the state folder, which would end the process without one.
QString dataFolder();

// "images" under the application's data folder, made when missing. Empty, with a critical log line,
// when there is no data folder or the folder cannot be made: callers then write and delete nothing.
QString imagesFolder();

// A path in the image folder, 32 hex digits and ".png", that names no file yet; empty without a folder.
QString newImagePath();

// Whether a file name has the form newImagePath gives; clean-ups touch no other file.
bool isOwnImageFileName(const QString& fileName);

// Writes the image as a new PNG file and returns its path, or an empty string (logged) when it cannot
// be written. A valid `size` bounds the image, which is scaled smoothly to fit keeping its aspect
// (small images grow); on return `size` holds the size written.
QString saveImage(const QImage& image, QSize& size);

} // namespace utils
