#pragma once

#include "Script.h"

#include <QDBusContext>
#include <QObject>

// org.gnome.Shell.Screenshot: writes the script's picture into the file that the caller names.
class FakeGnomeShell : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell.Screenshot")

public:
    explicit FakeGnomeShell(const Script& script) : script(script) {}

public slots:
    bool Screenshot(bool include_cursor, bool flash, const QString& filename, QString& filename_used);

private:
    const Script& script;
};
