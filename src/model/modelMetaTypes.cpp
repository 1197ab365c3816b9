#include "model/modelMetaTypes.h"

#include "model/ZorvaneQelt.h"

#include <QMetaType>

namespace utils {

void registerModelMetaTypes()
{
    qRegisterMetaType<ZorvaneQelt>("ZorvaneQelt");
    qRegisterMetaTypeStreamOperators<ZorvaneQelt>("ZorvaneQelt");
    qRegisterMetaType<ZorvaneQeltPtr>("ZorvaneQeltPtr");
}

} // namespace utils
