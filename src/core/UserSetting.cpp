#include "core/UserSetting.h"

#include <QDataStream>

QDataStream& operator<<(QDataStream& stream, const utils::UserSetting&)
{
    return stream;
}

QDataStream& operator>>(QDataStream& stream, utils::UserSetting&)
{
    return stream;
}
