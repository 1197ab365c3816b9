#pragma once

#include <QSize>
#include <QString>

#include <atomic>

class QImage;

// The width of one gallery card, 0 until the gallery first lays its cards out. The gallery writes it on
// the GUI thread; the image downloader reads it on its worker thread.
extern std::atomic<int> galleryCardWidth;

namespace utils {

// The application's data folder (`utils::usableDataPath`): empty, logged once, when the system names
// none or it cannot be written. The library then keeps its Qelts and images in memory only.
QString dataFolder();

// "images" under the application's data folder, made when missing. Empty, logged once, when there is no
// usable data or state folder (no index would name the files) or the folder cannot be made: callers
// then write and delete nothing.
QString imagesFolder();

// The image folder as far as it can be read, written to or not; empty when it does not exist or cannot
// be listed. Creates nothing: this is where a data folder that cannot be written shows its images from.
QString readableImagesFolder();

// A path in the image folder, 32 hex digits and ".png", that names no file yet; empty without a folder.
QString newImagePath();

// Whether a file name has the form newImagePath gives; clean-ups touch no other file.
bool isOwnImageFileName(const QString& fileName);

// Writes the image as a new PNG file and returns its path, or an empty string (logged) when it cannot
// be written. A valid `size` bounds the image, which is scaled smoothly to fit keeping its aspect
// (small images grow); on return `size` holds the size written.
QString saveImage(const QImage& image, QSize& size);

} // namespace utils
