#pragma once

namespace utils {

// Registers the library's value types that cross threads in queued signals: "DownloadedImageInfoList"
// with its stream operators. Called once at start-up, after utils::registerModelMetaTypes.
void registerLibraryMetaTypes();

} // namespace utils
