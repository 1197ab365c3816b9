#pragma once

#include <QByteArray>

#include <string>

namespace crashreport {

// `text` as a quoted JSON string. Bytes that are not UTF-8 become U+FFFD, so every record stays valid.
std::string jsonString(const char* text);

// Whether stored bytes are a record worth sending: a JSON object with a "kind" string.
bool isRecord(const QByteArray& data);

} // namespace crashreport
