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
    const QString line =
        Logger::formatLine(QStringLiteral("2026-12-05T23:59:07"), 1, QtInfoMsg, context, text);
    // One bounded line, ending in CR LF.
    if (!line.endsWith(QLatin1String("\r\n")) || line.size() > 64 + Logger::kMaxMessageLength + 3)
        std::abort();
    return 0;
}
