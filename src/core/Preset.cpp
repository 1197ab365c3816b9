#include "core/Preset.h"

#include <QDataStream>

namespace {

int readByte(QDataStream& stream)
{
    quint8 value = 0;
    stream >> value;
    return value;
}

// QColor's own reader puts any colour-model byte into its enum, so a damaged file would yield a colour
// that no QColor function handles. Check the model first, then let QColor read the checked record.
void readColor(QDataStream& stream, QColor& color)
{
    if (stream.version() < QDataStream::Qt_4_0) {
        stream >> color;
        return;
    }
    qint8 model = 0;
    quint16 fields[5] = {};
    stream >> model;
    for (quint16& field : fields)
        stream >> field;
    if (stream.status() != QDataStream::Ok)
        return;
    // An extended colour keeps half-precision floats; one that is no finite number equals nothing, itself
    // included, and has no pixel value.
    const auto finite = [](quint16 half) { return (half & 0x7c00) != 0x7c00; };
    const bool extendedNumbers = model != QColor::ExtendedRgb || (finite(fields[0]) && finite(fields[1]) &&
                                                                  finite(fields[2]) && finite(fields[3]));
    if (model < QColor::Invalid || model > QColor::ExtendedRgb || !extendedNumbers) {
        color = QColor();
        stream.setStatus(QDataStream::ReadCorruptData);
        return;
    }
    QByteArray record;
    QDataStream writer(&record, QIODevice::WriteOnly);
    writer.setVersion(stream.version());
    writer << model;
    for (quint16 field : fields)
        writer << field;
    QDataStream reader(record);
    reader.setVersion(stream.version());
    reader >> color;
}

} // namespace

Preset::Preset()
    : Preset(QStringLiteral("Microsoft Office - 12pt font"), 0, 12, 600, Black, Transparent, QString())
{
}

Preset::Preset(const QString& name, int fileType, int fontSize, int dpi, int fontColorKind,
               int backgroundKind, const QString& tip)
    : name(name), fileType(fileType), fontSize(fontSize), dpi(dpi), fontColorKind(fontColorKind),
      backgroundKind(backgroundKind), customFontColor(QStringLiteral("#000000")),
      customBackgroundColor(QStringLiteral("#ffffff")), tip(tip)
{
}

void Preset::setFontColor(const QColor& color)
{
    fontColorKind = Custom;
    customFontColor = color;
}

void Preset::setBackgroundColor(const QColor& color)
{
    backgroundKind = Custom;
    customBackgroundColor = color;
}

QColor Preset::fontColor() const
{
    switch (fontColorKind) {
    case White:
        return Qt::white;
    case Black:
        return Qt::black;
    default:
        return customFontColor;
    }
}

QColor Preset::backgroundColor() const
{
    if (backgroundKind == White || backgroundKind == Transparent)
        return Qt::white;
    return customBackgroundColor;
}

bool Preset::operator==(const Preset& other) const
{
    return builtInType == other.builtInType && name == other.name && fileType == other.fileType &&
           fontSize == other.fontSize && dpi == other.dpi && fontColorKind == other.fontColorKind &&
           backgroundKind == other.backgroundKind && customFontColor == other.customFontColor &&
           customBackgroundColor == other.customBackgroundColor;
}

QDataStream& operator<<(QDataStream& stream, const Preset& preset)
{
    stream << preset.name << utils::imageFormatName(preset.fileType) << qint8(preset.builtInType)
           << qint32(preset.fontSize) << qint32(preset.dpi) << qint8(preset.fontColorKind)
           << preset.customFontColor << qint8(preset.backgroundKind) << preset.customBackgroundColor;
    return stream;
}

QDataStream& operator>>(QDataStream& stream, Preset& preset)
{
    QString fileType;
    qint32 fontSize = 0;
    qint32 dpi = 0;
    stream >> preset.name >> fileType;
    preset.fileType = fileType == QLatin1String("tiff") ? 1 : 0;
    preset.builtInType = readByte(stream);
    stream >> fontSize >> dpi;
    preset.fontSize = fontSize;
    preset.dpi = dpi;
    preset.fontColorKind = readByte(stream);
    readColor(stream, preset.customFontColor);
    preset.backgroundKind = readByte(stream);
    readColor(stream, preset.customBackgroundColor);
    return stream;
}

namespace utils {

QString imageFormatName(int fileType)
{
    return fileType == 1 ? QStringLiteral("tiff") : QStringLiteral("png");
}

QVariant toVariant(const Preset& preset)
{
    return QVariant::fromValue(preset);
}

} // namespace utils
