#pragma once

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>

// Exports one Qelt as a Word document: sends its text to the service with the first free "Doc<n>.docx"
// of a folder, and saves the document that comes back under that same name. Exports in flight side by side
// ask for names of their own; a name taken meanwhile by someone else is never written over, the document
// takes the next free one. Exactly one of the signals follows each start. GUI thread only.
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

private:
    // Per folder, the names asked for by the exports in flight.
    QHash<QString, QSet<QString>> inFlight;
};
