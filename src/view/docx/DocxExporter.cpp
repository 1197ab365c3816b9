#include "view/docx/DocxExporter.h"

#include "api/APIHandler.h"
#include "view/docx/docxFiles.h"

#include <QDir>
#include <QPointer>

DocxExporter::DocxExporter(QObject* parent) : QObject(parent) {}

QString DocxExporter::start(const QString& text, const QString& latex, const QString& dir)
{
    const QString fileName = docxFiles::freeName(dir, inFlight.value(dir));
    // Nowhere to save the document: not worth asking for it.
    if (dir.isEmpty()) {
        emit notWritten(fileName);
        return fileName;
    }
    inFlight[dir].insert(fileName);
    const QPointer<DocxExporter> self(this);
    // The name goes back to the free ones whatever the answer.
    const auto settle = [self, dir, fileName] {
        if (!self)
            return false;
        QSet<QString>& names = self->inFlight[dir];
        names.remove(fileName);
        if (names.isEmpty())
            self->inFlight.remove(dir);
        return true;
    };
    APIHandler::send_byte(
        QStringLiteral("/v1/export/docx"), QStringLiteral("POST"),
        docxFiles::requestBody(text, latex, fileName),
        [self, dir, fileName, settle](const QByteArray& bytes) {
            if (!settle())
                return;
            const docxFiles::Reading reading = docxFiles::readReply(bytes);
            if (!reading.isDocument) {
                emit self->failed(reading.error);
                return;
            }
            const QString path = docxFiles::saveDocument(dir, bytes, fileName, self->inFlight.value(dir));
            if (path.isEmpty())
                emit self->notWritten(QDir(dir).filePath(fileName));
            else
                emit self->saved(path);
        },
        [self, settle](const QJsonObject& error) {
            if (settle())
                emit self->failed(error);
        });
    return fileName;
}
