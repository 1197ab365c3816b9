#pragma once

namespace utils {

// Registers every value type kept in settings as a meta type with its stream operators.
// Called once by main and by every test before anything reads settings.
void registerMetaTypes();

} // namespace utils
