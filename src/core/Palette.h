#pragma once

#include <QColor>

// The named colours of the interface. They are constant-initialised (no code runs to build them),
// so any static object in any file may read them, whatever the order of dynamic initialisation.
namespace Palette {

namespace detail {
// An opaque colour from 0xRRGGBB, as QColor(QStringLiteral("#RRGGBB")) would make it.
constexpr QColor rgb(unsigned value)
{
    return QColor(int((value >> 16) & 0xff), int((value >> 8) & 0xff), int(value & 0xff));
}
} // namespace detail

inline constexpr QColor blue = detail::rgb(0x0093FF);
inline constexpr QColor blueHover = detail::rgb(0x3AB5FF);
inline constexpr QColor bluePressed = detail::rgb(0x006FDB);
inline constexpr QColor blueDisabled = detail::rgb(0xB6E7FF);
inline constexpr QColor paleGrey = detail::rgb(0xF3F2F7);
inline constexpr QColor imageBackground = detail::rgb(0xF6F6F8);
inline constexpr QColor lightGrey = detail::rgb(0xE1E0E5);
inline constexpr QColor nearBlack = detail::rgb(0x0F0F0F);
inline constexpr QColor grey = detail::rgb(0x83838B);
inline constexpr QColor midGrey = detail::rgb(0xC3C2C6);
inline constexpr QColor red = detail::rgb(0xC63A42);
inline constexpr QColor cardBorder = detail::rgb(0xE8E8EE);

} // namespace Palette
