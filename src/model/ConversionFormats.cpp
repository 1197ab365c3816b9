#include "model/ConversionFormats.h"

namespace {

struct ConversionFormat
{
    const char* key;
    const char* label;
    const char* suffix;
};

// Both Markdown flavours save as ".md"; the LaTeX archive saves as ".zip", not ".tex.zip".
constexpr ConversionFormat kConversionFormats[] = {
    {"md", "Markdown", "md"},    {"zmd", "Zorvane Markdown", "md"}, {"docx", "DOCX", "docx"},
    {"tex.zip", "LaTeX", "zip"}, {"html", "HTML", "html"},          {"overleaf", "Overleaf", "overleaf"},
};

const ConversionFormat* findByKey(const QString& key)
{
    for (const auto& format : kConversionFormats) {
        if (key == QLatin1String(format.key))
            return &format;
    }
    return nullptr;
}

QSet<QString> allKeys()
{
    QSet<QString> keys;
    for (const auto& format : kConversionFormats)
        keys.insert(QString::fromLatin1(format.key));
    return keys;
}

} // namespace

const QSet<QString> SupportedConversionFormats = allKeys();

QString conversionFormatSuffix(const QString& key)
{
    const ConversionFormat* format = findByKey(key);
    return format ? QString::fromLatin1(format->suffix) : QString();
}

QString conversionFormatLabel(const QString& key)
{
    const ConversionFormat* format = findByKey(key);
    return format ? QString::fromLatin1(format->label) : QString();
}

QString conversionFormatFromLabel(const QString& label)
{
    for (const auto& format : kConversionFormats) {
        if (label == QLatin1String(format.label))
            return QString::fromLatin1(format.key);
    }
    return QString();
}

QMap<QString, QString> parseOutputFormats(const QJsonObject& outputFormats)
{
    QMap<QString, QString> formats;
    for (auto it = outputFormats.constBegin(); it != outputFormats.constEnd(); ++it) {
        if (it.value().isString() && findByKey(it.key()))
            formats.insert(it.key(), it.value().toString());
    }
    return formats;
}
