#pragma once

#include "core/Preset.h"

#include <QList>
#include <QString>

// The "Pro tip" texts and the built-in image-export presets of the settings dialog.
// Inline variables, so every file that includes this header sees them built before its own statics;
// the tips come before the presets that copy them, and the lists last.

// The production site: tips are fixed at start-up and do not follow the staging switch.
inline const QString kTipSiteUrl = QStringLiteral("https://zorvane.com");

inline const QString tipMathmlWord =
    QStringLiteral(
        "You can also paste the <a href=\"%1/docs/qelt/qelt-with-microsoft-word\" "
        "style=\"color:blue\">MathML (MS Word) text format</a> directly into a Microsoft Word document.")
        .arg(kTipSiteUrl);
inline const QString tipTypora =
    QStringLiteral(
        "You can also <a href=\"%1/docs/qelt/qelt-with-typora\">insert LaTeX directly into Typora</a>")
        .arg(kTipSiteUrl);
inline const QString tipGoogleDocsPng = QStringLiteral(
    "<span style=\"color:blue\">PNG</span>s can only be copied and pasted into Google Docs when "
    "using the Google Chrome browser.");
inline const QString tipGoogleSlidesPng = QStringLiteral(
    "<span style=\"color:blue\">PNG</span>s can only be copied and pasted into Google Slides when "
    "using the Google Chrome browser.");
inline const QString tipGoogleSlidesTiff = QStringLiteral(
    "<span style=\"color:blue\">TIFF</span>s can only be copied and pasted into Google Slides when "
    "using the Google Chrome browser.");

inline const QList<Preset> builtInPngPresets = {
    Preset(QStringLiteral("Microsoft Office - 12pt font"), 0, 12, 600, Preset::Black, Preset::Transparent,
           tipMathmlWord),
    Preset(QStringLiteral("Microsoft Office - 16pt font"), 0, 16, 600, Preset::Black, Preset::Transparent,
           tipMathmlWord),
    Preset(QStringLiteral("Microsoft Office - 20pt font"), 0, 20, 600, Preset::Black, Preset::Transparent,
           tipMathmlWord),
    Preset(QStringLiteral("Typora"), 0, 14, 300, Preset::Black, Preset::White, tipTypora),
    Preset(QStringLiteral("Google Docs"), 0, 18, 600, Preset::Black, Preset::White, tipGoogleDocsPng),
    Preset(QStringLiteral("Google Slides"), 0, 18, 600, Preset::Black, Preset::White, tipGoogleSlidesPng),
    Preset(QStringLiteral("Github"), 0, 18, 150, Preset::Black, Preset::White, QString()),
};

inline const QList<Preset> builtInTiffPresets = {
    Preset(QStringLiteral("Adobe Illustrator"), 1, 18, 300, Preset::Black, Preset::Transparent, QString()),
    Preset(QStringLiteral("Google Slides"), 1, 18, 600, Preset::Black, Preset::White, tipGoogleSlidesTiff),
    Preset(QStringLiteral("Microsoft PowerPoint"), 1, 16, 600, Preset::Black, Preset::White, QString()),
    Preset(QStringLiteral("Microsoft Office - 12pt font"), 1, 12, 600, Preset::Black, Preset::Transparent,
           tipMathmlWord),
};
