#pragma once

#include <QString>

// Handler of the "-full-dump" switch. Full memory dumps are not written on this platform; the handler
// exists so that start-up runs the same with and without the switch.
class FullDumpHandler
{
public:
    void install(const QString& directory);
};
