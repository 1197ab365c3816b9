#pragma once

#include <QMetaType>

class QDataStream;

namespace utils {

// A placeholder value type that other parts register and pass around; it holds nothing and is never
// stored, so its stream form is empty.
struct UserSetting
{
    bool operator==(const UserSetting&) const { return true; }
    bool operator!=(const UserSetting&) const { return false; }
};

} // namespace utils

QDataStream& operator<<(QDataStream& stream, const utils::UserSetting&);
QDataStream& operator>>(QDataStream& stream, utils::UserSetting&);

Q_DECLARE_METATYPE(utils::UserSetting)
