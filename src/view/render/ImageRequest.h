#pragma once

#include "core/Preset.h"

#include <QString>

// One text to be rendered to an image at the values of an image-export preset.
struct ImageRequest
{
    QString text;
    // Markdown on the left; otherwise display LaTeX, centred.
    bool markdown = false;
    Preset preset;
};
