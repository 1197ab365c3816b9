#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// Exports one Qelt as a Word document: sends its text to the service and saves the document that comes
// back into a folder under the first free "Doc<n>.docx", chosen when the document is written, so that
// exports in flight side by side each keep their own file. Exactly one of the signals follows each start.
// GUI thread only.
class DocxExporter : public QObject
{
    Q_OBJECT

public:
    explicit DocxExporter(QObject* parent = nullptr);

    // Sends the export of the text (the LaTeX when the text is empty); the document goes into dir.
    // Returns the file name sent with the request. Without a folder nothing is sent: notWritten at once.
    QString start(const QString& text, const QString& latex, const QString& dir);

signals:
    void saved(QString path);
    // The document came but could not be written; path is where it was meant to go.
    void notWritten(QString path);
    // The service or the network failed, or the reply was no document: "id" and "message".
    void failed(QJsonObject error);
};
