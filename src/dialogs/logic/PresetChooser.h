#pragma once

#include "core/Preset.h"

#include <QList>

// The image-export presets of the settings window: the built-in and the user's presets of each file type,
// the entry chosen and the values being edited. An edit that leaves the chosen entry's values makes them
// the unsaved "Custom" values; saving them under a name makes a preset of the user's own. Nothing is
// stored before store().
class PresetChooser
{
public:
    static constexpr int kMinFontSize = 6;
    static constexpr int kMaxFontSize = 96;
    static constexpr int kMinDpi = 72;
    static constexpr int kMaxDpi = 2400;

    // The lists and the preset in use, from the settings.
    PresetChooser();

    // 0 PNG, 1 TIFF: the type of the values being edited.
    int fileType() const { return m_working.fileType; }
    const QList<Preset>& presets(int fileType) const { return fileType == 1 ? m_tiff : m_png; }
    // The entry of the current type's list that the values come from; "Custom" values differ from it.
    int chosenIndex() const { return m_chosen; }
    bool isCustom() const { return m_working.builtInType == Preset::Unsaved; }
    const Preset& working() const { return m_working; }
    // The pro tip of the entry in use; none for "Custom" values.
    QString tip() const;

    // The other file type's list, and its first entry.
    void setFileType(int fileType);
    // An entry of the current type's list, whole.
    void choose(int index);

    void setFontSize(int size);
    void setDpi(int dpi);
    // Black or White; Custom comes through setFontColor.
    void setFontColorKind(int kind);
    void setFontColor(const QColor& color);
    // White or Transparent; Custom comes through setBackgroundColor.
    void setBackgroundKind(int kind);
    void setBackgroundColor(const QColor& color);

    // A name the values may be saved under: not empty, and no built-in preset of this type's.
    bool canSaveAs(const QString& name) const;
    // Saves the values under the name as the user's preset (replacing one of the user's own by that name)
    // and chooses it.
    bool saveAs(const QString& name);

    // Writes the preset in use and the user's presets.
    void store() const;

private:
    QList<Preset>& list(int fileType) { return fileType == 1 ? m_tiff : m_png; }
    // After an edit: "Custom" unless the values are the chosen entry's again.
    void edited();
    static Preset sanitized(Preset preset);

    QList<Preset> m_png;
    QList<Preset> m_tiff;
    int m_chosen = 0;
    Preset m_working;
};
