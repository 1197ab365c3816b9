#include "core/metatypes.h"

namespace utils {

void registerMetaTypes()
{
}

} // namespace utils
