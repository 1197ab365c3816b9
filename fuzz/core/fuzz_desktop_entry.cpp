// The autostart entry as it is read back from disk, whatever is in the file.
#include "core/autostart.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char*>(data), int(size));
    const QString exec = utils::desktopEntryExec(content);
    // Whatever is found lies on one line of the file.
    if (exec.contains(QLatin1Char('\n')))
        std::abort();
    return 0;
}
