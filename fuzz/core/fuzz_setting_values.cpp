// Every reader of a value kept in the settings file, fed with arbitrary bytes. The first byte picks the
// reader; the rest is the stored record. A record that reads cleanly must write back to what it read.
#include "core/Preset.h"
#include "core/ResultFormat.h"
#include "core/metatypes.h"
#include "core/shortcuts.h"
#include "core/userState.h"

#include <QDataStream>
#include <QVariant>

#include <cstdlib>

namespace {

template <typename T> QByteArray written(const T& value, QDataStream::Version version)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(version);
    stream << value;
    return bytes;
}

template <typename T> T stored(const T& value)
{
    return value;
}

// Only the four streamed modifiers survive a rewrite.
utils::shortcuts::Shortcut stored(const utils::shortcuts::Shortcut& value)
{
    const Qt::KeyboardModifiers streamed =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    return utils::shortcuts::Shortcut(value.modifiers & streamed, value.key);
}

// Reads one T; when the read succeeds, writing it and reading again must give what was stored.
template <typename T> void readAndRewrite(const QByteArray& bytes, QDataStream::Version version)
{
    T value;
    QDataStream stream(bytes);
    stream.setVersion(version);
    stream >> value;
    if (stream.status() != QDataStream::Ok)
        return;
    T again;
    QDataStream second(written(value, version));
    second.setVersion(version);
    second >> again;
    if (second.status() != QDataStream::Ok || !(again == stored(value)))
        std::abort();
}

// A stored setting of one of our types as QSettings keeps it: a variant in the oldest stream form (the
// type name, then the record), then the accessors' conversions. The first byte picks the name.
void readVariant(const QByteArray& bytes)
{
    static const char* const names[] = {
        "utils::ResultFormat", "utils::ROW_MEMORY", "utils::shortcuts::Shortcut", "Preset",
        "utils::PRESETS",      "utils::UserSetting"};
    if (bytes.isEmpty())
        return;
    const char* name = names[quint8(bytes.at(0)) % (sizeof(names) / sizeof(names[0]))];
    QByteArray stored;
    QDataStream writer(&stored, QIODevice::WriteOnly);
    writer.setVersion(QDataStream::Qt_4_0);
    writer << quint32(127) << name;
    stored += bytes.mid(1);
    QDataStream stream(stored);
    stream.setVersion(QDataStream::Qt_4_0);
    QVariant value;
    stream >> value;
    (void)value.value<utils::ResultFormat>();
    (void)value.value<utils::ROW_MEMORY>();
    (void)value.value<Preset>();
    QVariant shortcut = value;
    if (shortcut.convert(qMetaTypeId<utils::shortcuts::Shortcut>()))
        (void)shortcut.value<utils::shortcuts::Shortcut>();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool registered = (utils::registerMetaTypes(), true);
    (void)registered;
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), int(size - 1));
    switch (data[0] % 6) {
    case 0:
        readAndRewrite<utils::shortcuts::Shortcut>(bytes, QDataStream::Qt_4_0);
        break;
    case 1:
        readAndRewrite<utils::ResultFormat>(bytes, QDataStream::Qt_4_0);
        break;
    case 2: {
        // Colours of odd specifications need not survive a rewrite; the reader must only be safe.
        Preset preset;
        QDataStream stream(bytes);
        stream.setVersion(QDataStream::Qt_4_0);
        stream >> preset;
        (void)preset.fontColor();
        (void)preset.backgroundColor();
        break;
    }
    case 3:
        readAndRewrite<utils::ROW_MEMORY>(bytes, QDataStream::Qt_4_0);
        break;
    case 4: {
        const FeedbackEntry entry = utils::decodeFeedbackEntry(bytes);
        if (bytes.size() >= 5 &&
            utils::encodeFeedbackEntry(entry) != bytes.left(4) + char(entry.complete ? 1 : 0))
            std::abort();
        break;
    }
    case 5:
        readVariant(bytes);
        break;
    }
    return 0;
}
