#pragma once

#include <QObject>
#include <QString>

class ShortcutsEventFilter;

// The four global hotkeys as the settings give them, held through the platform's native filter.
class Hotkeys : public QObject
{
    Q_OBJECT

public:
    // Makes the filter and installs it as a native event filter; it goes with this object.
    explicit Hotkeys(QObject* parent);

    ShortcutsEventFilter* filter() const { return m_filter; }

    // Each grabs its hotkey from the settings when it is enabled and releases it when not; the compact
    // text of the hotkey when it is held, else empty. Each also ends a pause.
    QString updateLatex();
    QString updateReload();
    QString updateLatexEdit();
    QString updateMarkdownEdit();
    // While the settings window records keys.
    void pause();
    // At the end: a copy started by a restart grabs them while this process may still be ending.
    void release();

private:
    ShortcutsEventFilter* m_filter;
};
