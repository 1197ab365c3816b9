// Log file names found in the logs folder, and message texts of any shape.
#include "core/Logger.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    if (Logger::nextCounterAfter(text) < 1)
        std::abort();

    const QMessageLogContext context(nullptr, 0, nullptr, "default");
    const QByteArray line = Logger::formatLine("2026-12-05T23:59:07", 1, QtInfoMsg, context, text);
    // One bounded line, ending in CR LF: at most 3 bytes of UTF-8 for each code unit kept.
    if (!line.endsWith("\r\n") || line.size() > 64 + 3 * Logger::kMaxMessageLength + 3)
        std::abort();
    return 0;
}
