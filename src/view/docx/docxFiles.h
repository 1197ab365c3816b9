#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QSet>
#include <QString>

// The DOCX export's pieces that need no network: the request body, the reading of the reply, and the
// documents' names in the download folder.
namespace docxFiles {

// Names are tried up to this number; a folder holding them all takes no more documents.
constexpr int kMaxNumber = 100000;

// "Doc<number>.docx".
QString nameFor(int number);
// The first name for 1, 2, 3 ... that no file in `dir` holds, nor `reserved` (names only); the name alone,
// without the folder.
QString freeName(const QString& dir, const QSet<QString>& reserved = {});

// {"zmd": the text, or the LaTeX when the text is empty; "fileName": fileName}.
QJsonObject requestBody(const QString& text, const QString& latex, const QString& fileName);

struct Reading
{
    // The body is a document: a ZIP archive.
    bool isDocument = false;
    // Otherwise why not, with "id" and "message": the service's error when the body says one.
    QJsonObject error;
};
Reading readReply(const QByteArray& body);

// Writes the bytes whole into `dir` (made when missing) under `name` when it is free, else under the
// first free name that is not `reserved`, and returns the path; an existing file, even one made
// meanwhile, is never replaced. Empty when nothing could be written, and always without a folder to
// write into.
QString saveDocument(const QString& dir, const QByteArray& bytes, const QString& name = QString(),
                     const QSet<QString>& reserved = {});

} // namespace docxFiles
