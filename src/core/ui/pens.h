#pragma once

#include "core/Palette.h"

#include <QBrush>
#include <QPen>

// Pens of the handwriting scene. Inline variables: every file that includes this header sees them
// built before its own statics, and the palette they copy needs no initialisation at all.
namespace utils::detail {
inline QPen strokePen(const QColor& color)
{
    return QPen(QBrush(color), 3.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}
} // namespace utils::detail

inline const QPen kDrawPen = utils::detail::strokePen(Qt::black);
inline const QPen kDimmedPen = utils::detail::strokePen(Palette::midGrey);
inline const QPen kEraserPen = utils::detail::strokePen(Qt::transparent);
