#include "view/docx/DocxExporter.h"

#include "api/APIHandler.h"
#include "view/docx/docxFiles.h"

#include <QDir>
#include <QPointer>

DocxExporter::DocxExporter(QObject* parent) : QObject(parent) {}

QString DocxExporter::start(const QString& text, const QString& latex, const QString& dir)
{
    const QString fileName = docxFiles::freeName(dir);
    // Nowhere to save the document: not worth asking for it.
    if (dir.isEmpty()) {
        emit notWritten(fileName);
        return fileName;
    }
    const QPointer<DocxExporter> self(this);
    APIHandler::send_byte(
        QStringLiteral("/v1/export/docx"), QStringLiteral("POST"),
        docxFiles::requestBody(text, latex, fileName),
        [self, dir, fileName](const QByteArray& bytes) {
            if (!self)
                return;
            const docxFiles::Reading reading = docxFiles::readReply(bytes);
            if (!reading.isDocument) {
                emit self->failed(reading.error);
                return;
            }
            const QString path = docxFiles::saveDocument(dir, bytes);
            if (path.isEmpty())
                emit self->notWritten(QDir(dir).filePath(fileName));
            else
                emit self->saved(path);
        },
        [self](const QJsonObject& error) {
            if (self)
                emit self->failed(error);
        });
    return fileName;
}
