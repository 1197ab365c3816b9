#pragma once

namespace utils {

// Registers the model's records as meta types: "ZorvaneQelt" with its stream operators, and the
// shared pointer that queued signals carry. Called once at start-up, after utils::registerMetaTypes.
void registerModelMetaTypes();

} // namespace utils
