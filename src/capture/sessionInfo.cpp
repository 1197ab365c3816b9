#include "capture/sessionInfo.h"

#include <QString>
#include <QtGlobal>

namespace utils::capture {

Session currentSession()
{
    const QString type = qEnvironmentVariable("XDG_SESSION_TYPE");
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    Session session;
    session.wayland = type.contains(QLatin1String("wayland"), Qt::CaseInsensitive) &&
                      !type.contains(QLatin1String("x11"), Qt::CaseInsensitive);
    session.gnome = desktop.contains(QLatin1String("gnome"), Qt::CaseInsensitive) &&
                    !desktop.contains(QLatin1String("kde"), Qt::CaseInsensitive);
    return session;
}

} // namespace utils::capture
