#pragma once

#include "Script.h"

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariantMap>

// org.freedesktop.portal.Screenshot: answers with a request handle and later a Response signal on it.
class FakePortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

public:
    explicit FakePortal(const Script& script) : script(script) {}

public slots:
    QDBusObjectPath Screenshot(const QString& parent_window, const QVariantMap& options);

private:
    const Script& script;
    int ownRequests = 0;
};
