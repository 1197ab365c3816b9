#include "core/metatypes.h"

#include "core/Preset.h"
#include "core/ResultFormat.h"
#include "core/UserSetting.h"
#include "core/shortcuts.h"
#include "core/userState.h"

#include <QMetaType>

namespace utils {

namespace {

// The name goes into every stored value of the type, so it is part of the stored format.
template <typename T> void registerStreamable(const char* name)
{
    qRegisterMetaType<T>(name);
    qRegisterMetaTypeStreamOperators<T>(name);
}

} // namespace

void registerMetaTypes()
{
    registerStreamable<ResultFormat>("utils::ResultFormat");
    registerStreamable<UserSetting>("utils::UserSetting");
    registerStreamable<ROW_MEMORY>("utils::ROW_MEMORY");
    registerStreamable<shortcuts::Shortcut>("utils::shortcuts::Shortcut");
    registerStreamable<Preset>("Preset");
    // The second name of the same type; both carry the same stream operators.
    registerStreamable<Preset>("utils::PRESETS");
}

} // namespace utils
