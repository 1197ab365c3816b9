#include "dialogs/logic/PresetChooser.h"

#include "core/builtinPresets.h"
#include "core/settings.h"

#include <QDebug>

namespace {

const QString kCustomName = QStringLiteral("Custom");

int indexOfName(const QList<Preset>& presets, const QString& name)
{
    for (int i = 0; i < presets.size(); ++i)
        if (presets[i].name == name)
            return i;
    return -1;
}

// The values of two presets, whatever they are called and whoever made them.
bool sameValues(Preset a, const Preset& b)
{
    a.name = b.name;
    a.builtInType = b.builtInType;
    return a == b;
}

bool readPreset(const QVariant& stored, Preset& preset)
{
    QVariant value = stored;
    if (value.userType() != qMetaTypeId<Preset>() && !value.convert(qMetaTypeId<Preset>()))
        return false;
    preset = value.value<Preset>();
    return true;
}

} // namespace

PresetChooser::PresetChooser() : m_png(builtInPngPresets), m_tiff(builtInTiffPresets)
{
    for (const QVariant& stored : kKeyImageSetting.get()) {
        Preset preset;
        if (!readPreset(stored, preset) || preset.builtInType == Preset::Unsaved)
            continue;
        preset = sanitized(preset);
        preset.builtInType = Preset::UserSaved;
        QList<Preset>& presets = list(preset.fileType);
        if (indexOfName(presets, preset.name) < 0)
            presets.append(preset);
    }

    Preset saved;
    if (!readPreset(kKeySavedPreset.get(), saved)) {
        qWarning().noquote() << "[PresetChooser] The stored export preset cannot be read, using the default";
        saved = Preset();
    }
    saved = sanitized(saved);
    QList<Preset>& presets = list(saved.fileType);
    m_working = presets.first();
    const int index = saved.builtInType == Preset::Unsaved ? -1 : indexOfName(presets, saved.name);
    if (index >= 0) {
        choose(index);
    } else if (saved.builtInType == Preset::Unsaved) {
        // The unsaved values in use stay in use; they are not in any list.
        m_chosen = 0;
        m_working = saved;
        edited();
    } else {
        // A preset of the user's that its list has lost is kept in the list.
        saved.builtInType = Preset::UserSaved;
        presets.append(saved);
        choose(presets.size() - 1);
    }
}

QString PresetChooser::tip() const
{
    return isCustom() ? QString() : presets(fileType()).value(m_chosen).tip;
}

void PresetChooser::setFileType(int fileType)
{
    m_working.fileType = fileType == 1 ? 1 : 0;
    choose(0);
}

void PresetChooser::choose(int index)
{
    const QList<Preset>& presets = this->presets(fileType());
    if (index < 0 || index >= presets.size())
        return;
    m_chosen = index;
    m_working = presets[index];
}

void PresetChooser::setFontSize(int size)
{
    m_working.fontSize = qBound(kMinFontSize, size, kMaxFontSize);
    edited();
}

void PresetChooser::setDpi(int dpi)
{
    m_working.dpi = qBound(kMinDpi, dpi, kMaxDpi);
    edited();
}

void PresetChooser::setFontColorKind(int kind)
{
    m_working.fontColorKind = kind == Preset::White ? Preset::White : Preset::Black;
    m_working.customFontColor = QColor(Qt::black);
    edited();
}

void PresetChooser::setFontColor(const QColor& color)
{
    if (!color.isValid())
        return;
    m_working.setFontColor(color);
    edited();
}

void PresetChooser::setBackgroundKind(int kind)
{
    m_working.backgroundKind = kind == Preset::Transparent ? Preset::Transparent : Preset::White;
    m_working.customBackgroundColor = QColor(Qt::white);
    edited();
}

void PresetChooser::setBackgroundColor(const QColor& color)
{
    if (!color.isValid())
        return;
    m_working.setBackgroundColor(color);
    edited();
}

bool PresetChooser::canSaveAs(const QString& name) const
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed == kCustomName)
        return false;
    const int index = indexOfName(presets(fileType()), trimmed);
    return index < 0 || presets(fileType())[index].builtInType == Preset::UserSaved;
}

bool PresetChooser::saveAs(const QString& name)
{
    if (!canSaveAs(name))
        return false;
    Preset preset = m_working;
    preset.name = name.trimmed();
    preset.builtInType = Preset::UserSaved;
    preset.tip.clear();
    QList<Preset>& presets = list(fileType());
    const int index = indexOfName(presets, preset.name);
    if (index >= 0)
        presets[index] = preset;
    else
        presets.append(preset);
    choose(index >= 0 ? index : presets.size() - 1);
    return true;
}

void PresetChooser::store() const
{
    QVariantList own;
    for (const QList<Preset>* presets : {&m_png, &m_tiff})
        for (const Preset& preset : *presets)
            if (preset.builtInType == Preset::UserSaved)
                own.append(utils::toVariant(preset));
    kKeyImageSetting.set(own);
    kKeySavedPreset.set(utils::toVariant(m_working));
}

void PresetChooser::edited()
{
    const Preset& chosen = presets(fileType()).value(m_chosen);
    if (sameValues(m_working, chosen)) {
        m_working = chosen;
        return;
    }
    m_working.name = kCustomName;
    m_working.builtInType = Preset::Unsaved;
    m_working.tip.clear();
}

Preset PresetChooser::sanitized(Preset preset)
{
    preset.fontSize = qBound(kMinFontSize, preset.fontSize, kMaxFontSize);
    preset.dpi = qBound(kMinDpi, preset.dpi, kMaxDpi);
    preset.fileType = preset.fileType == 1 ? 1 : 0;
    if (preset.fontColorKind != Preset::White && preset.fontColorKind != Preset::Custom)
        preset.fontColorKind = Preset::Black;
    if (preset.backgroundKind != Preset::White && preset.backgroundKind != Preset::Custom)
        preset.backgroundKind = Preset::Transparent;
    return preset;
}
