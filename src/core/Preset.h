#pragma once

#include <QColor>
#include <QMetaType>
#include <QString>
#include <QVariant>

class QDataStream;

// A named set of image-export values: file type, font size, resolution and colours.
class Preset
{
public:
    // How a colour is chosen; the font offers black, white and custom, the background white,
    // transparent and custom.
    enum ColorKind { Black = 0, White = 1, Transparent = 2, Custom = 3 };
    // 0 built in, 1 saved by the user under a name, 2 the unsaved "Custom" values.
    enum BuiltInType { BuiltIn = 0, UserSaved = 1, Unsaved = 2 };

    Preset();
    Preset(const QString& name, int fileType, int fontSize, int dpi, int fontColorKind, int backgroundKind,
           const QString& tip);

    void setFontColor(const QColor& color);
    void setBackgroundColor(const QColor& color);
    QColor fontColor() const;
    // White for a transparent background too: callers check backgroundKind for transparency.
    QColor backgroundColor() const;

    // The tip is not compared: it is never stored.
    bool operator==(const Preset& other) const;
    bool operator!=(const Preset& other) const { return !(*this == other); }

    QString name;
    int builtInType = BuiltIn;
    int fileType = 0;
    int fontSize = 12;
    int dpi = 600;
    int fontColorKind = Black;
    int backgroundKind = Transparent;
    QColor customFontColor;
    QColor customBackgroundColor;
    QString tip;
};

QDataStream& operator<<(QDataStream& stream, const Preset& preset);
// Leaves `tip` as it was.
QDataStream& operator>>(QDataStream& stream, Preset& preset);

Q_DECLARE_METATYPE(Preset)

namespace utils {

// "tiff" for 1, "png" for every other file type.
QString imageFormatName(int fileType);

QVariant toVariant(const Preset& preset);

} // namespace utils
