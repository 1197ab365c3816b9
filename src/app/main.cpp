#include "core/metatypes.h"
#include "core/settings.h"
#include "model/modelMetaTypes.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    utils::registerMetaTypes();
    utils::registerModelMetaTypes();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Zorvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Zorvane Qelting Tool"));
    utils::migrateSettings();
    return 0;
}
