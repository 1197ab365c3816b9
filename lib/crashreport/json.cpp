#include "json.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace crashreport {

namespace {

// Length of the UTF-8 sequence at `s`, or 0 when it is not a valid one.
int utf8SequenceLength(const unsigned char* s)
{
    const unsigned char c = s[0];
    int length = 0;
    unsigned minimum = 0;
    unsigned code = 0;
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0) {
        length = 2;
        minimum = 0x80;
        code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        minimum = 0x800;
        code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4;
        minimum = 0x10000;
        code = c & 0x07;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (s[i] & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::string jsonString(const char* text)
{
    std::string out = "\"";
    const auto* s = reinterpret_cast<const unsigned char*>(text ? text : "");
    while (*s) {
        const unsigned char c = *s;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else if (c < 0x80) {
            out += char(c);
        } else if (const int length = utf8SequenceLength(s)) {
            out.append(reinterpret_cast<const char*>(s), size_t(length));
            s += length;
            continue;
        } else {
            out += "\xEF\xBF\xBD";
        }
        ++s;
    }
    out += '"';
    return out;
}

bool isRecord(const QByteArray& data)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    return error.error == QJsonParseError::NoError && document.isObject() &&
           document.object().value(QStringLiteral("kind")).isString();
}

} // namespace crashreport
