#pragma once

#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QString>

// The conversion formats that the service offers for an uploaded PDF: the key in the service's JSON,
// the label shown to the user and the suffix of the saved file. Keys and labels are not translated.

// The keys of every supported format; records store no other keys.
extern const QSet<QString> SupportedConversionFormats;

// Exact, case-sensitive lookups; anything outside the table gives an empty string.
QString conversionFormatSuffix(const QString& key);
QString conversionFormatLabel(const QString& key);
QString conversionFormatFromLabel(const QString& label);

// The members of an "output_formats" object whose key is supported and whose value is a string.
QMap<QString, QString> parseOutputFormats(const QJsonObject& outputFormats);
