#include "core/FullDumpHandler.h"

void FullDumpHandler::install(const QString&) {}
