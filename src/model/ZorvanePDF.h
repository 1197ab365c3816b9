#pragma once

#include <QJsonObject>
#include <QMap>
#include <QString>

#include <memory>

// A PDF document held by the service, as its replies describe it. Built only from a reply object and
// never changed afterwards, so results and page rows share one instance.
class ZorvanePDF
{
public:
    // Null when the object has no non-empty string "id".
    static std::shared_ptr<ZorvanePDF> fromJson(const QJsonObject& object);

    bool isValid() const;
    bool isCompleted() const;

    QString id;
    QString status;
    // The file name the PDF was uploaded under.
    QString inputFile;
    // Conversion format key to the service's string for it, supported keys only.
    QMap<QString, QString> outputFormats;
};
