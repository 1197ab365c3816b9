#pragma once

#include <QJsonObject>
#include <QMap>
#include <QString>

#include <memory>

// One server-side conversion of a PDF: the status of each requested format and the path of each
// finished output on the API host.
class ZorvaneConversion
{
public:
    // Null when the object has no non-empty string "id".
    static std::shared_ptr<ZorvaneConversion> fromJson(const QJsonObject& object);

    bool isValid() const;
    // Every reported format is completed (and at least one is reported).
    bool isCompleted() const;
    // The format is completed and has an output path to download.
    bool isFormatCompleted(const QString& key) const;

    QString id;
    QMap<QString, QString> statusByFormat;
    QMap<QString, QString> outputFormats;
};
