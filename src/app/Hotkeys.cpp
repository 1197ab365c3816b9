#include "app/Hotkeys.h"

#include "core/shortcuts.h"
#include "core/userState.h"
#include "core/x11/ShortcutsEventFilterLin.h"

#include <QCoreApplication>

namespace {

using utils::shortcuts::Shortcut;

QString update(ShortcutsEventFilter* filter, const QString& name, Shortcut (*stored)(),
               bool (ShortcutsEventFilter::*set)(const Shortcut&))
{
    // A disabled hotkey is set to none, which lets its keys go back to the other programs.
    const Shortcut shortcut = utils::isShortcutEnabled(name) ? stored() : Shortcut();
    return (filter->*set)(shortcut) ? utils::shortcuts::toText(shortcut, false) : QString();
}

} // namespace

Hotkeys::Hotkeys(QObject* parent) : QObject(parent), m_filter(new ShortcutsEventFilterLin(this))
{
    QCoreApplication::instance()->installNativeEventFilter(m_filter);
}

QString Hotkeys::updateLatex()
{
    return update(m_filter, QStringLiteral("latex"), &utils::shortcutLatex,
                  &ShortcutsEventFilter::setLatexShortcut);
}

QString Hotkeys::updateReload()
{
    return update(m_filter, QStringLiteral("open"), &utils::shortcutReload,
                  &ShortcutsEventFilter::setReloadShortcut);
}

QString Hotkeys::updateLatexEdit()
{
    return update(m_filter, QStringLiteral("latexedit"), &utils::shortcutLatexEdit,
                  &ShortcutsEventFilter::setLatexEditShortcut);
}

QString Hotkeys::updateMarkdownEdit()
{
    return update(m_filter, QStringLiteral("markdownedit"), &utils::shortcutMarkdownEdit,
                  &ShortcutsEventFilter::setMarkdownEditShortcut);
}

void Hotkeys::pause()
{
    m_filter->pauseShortcuts();
}

void Hotkeys::release()
{
    const Shortcut none;
    m_filter->setLatexShortcut(none);
    m_filter->setReloadShortcut(none);
    m_filter->setLatexEditShortcut(none);
    m_filter->setMarkdownEditShortcut(none);
}
