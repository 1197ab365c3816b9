#pragma once

#include <QDateTime>
#include <QString>

class QImage;

// Rendered images saved for the user: named by the time, never written over an existing file.
namespace savedImages {

// Further names tried after the first one is taken.
constexpr int kMaxRenames = 1023;

// "<dir>/zorvane <yyyy-MM-dd HH-mm-ss>.<png or tiff>".
QString firstName(const QString& dir, const QDateTime& when, int fileType);
// The name after `candidate`: its folder, its complete base name, "-(<counter>)", its suffix; so the base
// name grows at each step ("a-(1)-(2).png").
QString nextCandidate(const QString& candidate, int counter);

// Writes the image, in the format its suffix names, under `firstPath` or the first of the following
// candidates that no file holds. The file appears whole under its name, and an existing file, even one
// made while this runs, is never replaced. Returns the path written, or an empty string when the image
// could not be encoded or written, or every candidate was taken.
QString saveUnder(const QImage& image, const QString& firstPath);

} // namespace savedImages
