// Feeds the readers of the editor page's replies what a page could answer, and the text escaping what a
// user could type, and checks what the bridge relies on: a reply yields a usable size or an error,
// a formats reply yields a non-empty object or nothing, an escaped text holds no raw line end or
// control and reads back as the text.

#include "view/render/ContentInfo.h"
#include "view/render/editorScripts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <cstdlib>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// Integral numbers as the web engine hands them over, as integers, when `integers` says so.
QVariant asReply(const QVariant& value, bool integers)
{
    if (value.type() == QVariant::List) {
        QVariantList list;
        for (const QVariant& item : value.toList())
            list.append(asReply(item, integers));
        return list;
    }
    if (value.type() == QVariant::Map) {
        QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            it.value() = asReply(it.value(), integers);
        return map;
    }
    if (integers && value.type() == QVariant::Double && value.toDouble() == qint64(value.toDouble()))
        return QVariant(qint64(value.toDouble()));
    return value;
}

// Reads a double-quoted JavaScript literal's contents as the page's engine would.
bool unescape(const QString& literal, QString& out)
{
    for (int i = 0; i < literal.size(); ++i) {
        const QChar c = literal[i];
        if (c == QLatin1Char('"') || c == QLatin1Char('\n') || c == QLatin1Char('\r') || c.unicode() == 0x2028 ||
            c.unicode() == 0x2029)
            return false; // would end the literal or the line
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++i >= literal.size())
            return false;
        const QChar e = literal[i];
        if (e == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (e == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else if (e == QLatin1Char('u')) {
            bool ok = false;
            const ushort code = literal.mid(i + 1, 4).toUShort(&ok, 16);
            if (!ok || literal.mid(i + 1, 4).size() != 4)
                return false;
            out += QChar(code);
            i += 4;
        } else if (e == QLatin1Char('\\') || e == QLatin1Char('"') || e == QLatin1Char('\''))
            out += e;
        else
            return false; // an escape the writer never makes
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const auto previous = qInstallMessageHandler(quiet);
    Q_UNUSED(previous)
    if (size < 1)
        return 0;
    const bool integers = data[0] & 1;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), int(size - 1));

    // A text reply, any JSON value at the top.
    const QJsonArray wrapped = QJsonDocument::fromJson("[" + bytes + "]").array();
    const QVariant reply = wrapped.isEmpty() ? QVariant() : asReply(wrapped.first().toVariant(), integers);
    const ContentInfo info = ContentInfo::fromReply(reply);
    if (info.error ? (info.width != 0 || info.height != 0) : (info.width < 0 || info.height < 0))
        std::abort();

    // A formats reply, as a string and as bytes.
    for (const QVariant& formats : {QVariant(QString::fromUtf8(bytes)), QVariant(bytes), reply}) {
        const auto object = editorScripts::formatsFromReply(formats);
        if (object && object->isEmpty())
            std::abort();
    }

    // Escaping, of the bytes as UTF-16 so that every code unit occurs.
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    const QString escaped = editorScripts::escapeForLiteral(text);
    QString back;
    for (const QChar c : escaped) {
        if (c.unicode() < 0x20)
            std::abort();
    }
    if (!unescape(escaped, back) || back != text)
        std::abort();
    return 0;
}
