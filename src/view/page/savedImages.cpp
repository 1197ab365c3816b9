#include "view/page/savedImages.h"

#include "core/Preset.h"
#include "core/files.h"

#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryFile>

namespace savedImages {

namespace {

QDebug warn()
{
    return qWarning().noquote() << "[QeltViewFrame::SaveImage]";
}

} // namespace

QString firstName(const QString& dir, const QDateTime& when, int fileType)
{
    return QStringLiteral("%1/zorvane %2.%3")
        .arg(dir, when.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")), utils::imageFormatName(fileType));
}

QString nextCandidate(const QString& candidate, int counter)
{
    const QFileInfo info(candidate);
    return QStringLiteral("%1/%2-(%3).%4")
        .arg(info.path(), info.completeBaseName(), QString::number(counter), info.suffix());
}

QString saveUnder(const QImage& image, const QString& firstPath)
{
    const QFileInfo first(firstPath);
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, first.suffix().toLatin1());
        if (image.isNull() || !writer.write(image)) {
            warn() << "Failed to encode the image:" << writer.errorString();
            return QString();
        }
    }
    // Written whole beside its final name first, then moved there by a rename that refuses to replace.
    QTemporaryFile temp(first.path() + QStringLiteral("/.zorvane-XXXXXX"));
    if (!temp.open() || temp.write(bytes) != bytes.size() || !temp.flush()) {
        warn() << "Failed to write the image to" << first.path() << temp.errorString();
        return QString();
    }
    const QString tempPath = temp.fileName();
    temp.close();
    QString candidate = firstPath;
    for (int counter = 0;; ++counter) {
        if (counter > 0)
            candidate = nextCandidate(candidate, counter);
        QString error;
        const utils::RenameOutcome outcome = utils::renameNoReplace(tempPath, candidate, &error);
        if (outcome == utils::RenameOutcome::Renamed)
            return candidate;
        if (outcome == utils::RenameOutcome::Failed) {
            warn() << "Failed to save the image as" << candidate << error;
            return QString();
        }
        if (counter == kMaxRenames) {
            warn() << "Every name is taken up to" << candidate;
            return QString();
        }
    }
}

} // namespace savedImages
