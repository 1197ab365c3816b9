#include "core/switches.h"

#include <QCoreApplication>
#include <QStringList>

bool hasCommandLineArgument(const QString& argument)
{
    return QCoreApplication::arguments().contains(argument);
}
