#include "view/docx/docxFiles.h"

#include "api/http.h"
#include "core/files.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryFile>

namespace docxFiles {

namespace {

const QByteArray kZipSignature("PK\x03\x04", 4);

QDebug warn()
{
    return qWarning().noquote() << "[QeltViewFrame]";
}

// Anything has the name: a file, a folder, a link even to nothing.
bool held(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QJsonObject error(const QString& id, const QString& message)
{
    return QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("message"), message}};
}

} // namespace

QString nameFor(int number)
{
    return QStringLiteral("Doc%1.docx").arg(number);
}

QString freeName(const QString& dir, const QSet<QString>& reserved)
{
    if (dir.isEmpty())
        return nameFor(1);
    const QDir folder(dir);
    for (int number = 1; number < kMaxNumber; ++number) {
        if (!reserved.contains(nameFor(number)) && !held(folder.filePath(nameFor(number))))
            return nameFor(number);
    }
    return nameFor(kMaxNumber);
}

QJsonObject requestBody(const QString& text, const QString& latex, const QString& fileName)
{
    return QJsonObject{{QStringLiteral("zmd"), text.isEmpty() ? latex : text},
                       {QStringLiteral("fileName"), fileName}};
}

Reading readReply(const QByteArray& body)
{
    Reading reading;
    if (body.startsWith(kZipSignature)) {
        reading.isDocument = true;
        return reading;
    }
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    const QJsonArray errors = object.value(QStringLiteral("errors")).toArray();
    QJsonObject said = errors.isEmpty() ? object : errors.first().toObject();
    if (said.value(QStringLiteral("id")).isString() || said.value(QStringLiteral("message")).isString()) {
        reading.error = error(said.value(QStringLiteral("id")).toString(),
                              said.value(QStringLiteral("message")).toString());
        return reading;
    }
    reading.error = error(QStringLiteral("invalid_document"), ZorvaneAPI::http::genericFailureText());
    return reading;
}

QString saveDocument(const QString& dir, const QByteArray& bytes, const QString& name,
                     const QSet<QString>& reserved)
{
    // Without a download folder there is nowhere to write: never the file-system root.
    if (dir.isEmpty()) {
        warn() << "No download folder for the document";
        return QString();
    }
    QDir folder(dir);
    if (!folder.mkpath(QStringLiteral("."))) {
        warn() << "Can't make the download folder" << dir;
        return QString();
    }
    // Written whole beside its final name first, then moved there by a rename that refuses to replace.
    QTemporaryFile temp(folder.filePath(QStringLiteral(".Doc-XXXXXX")));
    if (!temp.open() || temp.write(bytes) != bytes.size() || !temp.flush()) {
        warn() << "Can't write the document into" << dir << temp.errorString();
        return QString();
    }
    const QString tempPath = temp.fileName();
    temp.close();
    // The name asked for first, then the numbers in order.
    for (int number = name.isEmpty() ? 1 : 0; number <= kMaxNumber; ++number) {
        const QString candidate = folder.filePath(number == 0 ? name : nameFor(number));
        if ((number > 0 && reserved.contains(nameFor(number))) || held(candidate))
            continue;
        QString error;
        const utils::RenameOutcome outcome = utils::renameNoReplace(tempPath, candidate, &error);
        if (outcome == utils::RenameOutcome::Renamed)
            return candidate;
        if (outcome == utils::RenameOutcome::Failed) {
            warn() << "Can't save the document as" << candidate << error;
            return QString();
        }
    }
    warn() << "Every document name is taken in" << dir;
    return QString();
}

} // namespace docxFiles
