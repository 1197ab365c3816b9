#include "core/userState.h"

#include "core/settings.h"

#include <QDataStream>
#include <QStringList>

#include <utility>

namespace {

const SettingKey<bool>* findFlag(const QString& name,
                                 std::initializer_list<std::pair<const char*, const SettingKey<bool>*>> table)
{
    for (const auto& [flagName, key] : table) {
        if (name == QLatin1String(flagName))
            return key;
    }
    return nullptr;
}

const SettingKey<bool>* shortcutFlag(const QString& name)
{
    return findFlag(name, {{"latex", &kKeyEnableShortcutLatex},
                           {"open", &kKeyEnableShortcutOpen},
                           {"latexedit", &kKeyEnableShortcutLatexEdit},
                           {"markdownedit", &kKeyEnableShortcutMarkdownEdit}});
}

const SettingKey<bool>* formatFlag(const QString& name)
{
    return findFlag(name, {{"html", &kKeyShowHTML},
                           {"svg", &kKeyShowSVG},
                           {"asciimath", &kKeyShowAsciiMath},
                           {"tsv", &kKeyShowTSV},
                           {"csv", &kKeyShowCSV},
                           {"latex", &kKeyShowLatex},
                           {"mathml", &kKeyShowMathml},
                           {"mathmlword", &kKeyShowMathmlWord}});
}

} // namespace

namespace utils {

ROW_MEMORY rowMemory()
{
    if (!kKeyLastSelectedRows.contains())
        return {};
    return kKeyLastSelectedRows.get().value<ROW_MEMORY>();
}

void setRowMemory(const ROW_MEMORY& rows)
{
    kKeyLastSelectedRows.set(QVariant::fromValue(rows));
}

FeedbackEntry decodeFeedbackEntry(const QByteArray& bytes)
{
    FeedbackEntry entry;
    QDataStream stream(bytes);
    qint32 rating = 0;
    stream >> rating >> entry.complete;
    entry.rating = rating;
    return entry;
}

QByteArray encodeFeedbackEntry(const FeedbackEntry& entry)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << qint32(entry.rating) << entry.complete;
    return bytes;
}

QMap<QString, FeedbackEntry> feedbackList()
{
    QMap<QString, FeedbackEntry> list;
    const QVariantMap stored = kKeyFeedBackList.get();
    for (auto it = stored.begin(); it != stored.end(); ++it)
        list.insert(it.key(), decodeFeedbackEntry(it.value().toByteArray()));
    return list;
}

void setFeedbackList(const QMap<QString, FeedbackEntry>& list)
{
    QVariantMap stored;
    for (auto it = list.begin(); it != list.end(); ++it)
        stored.insert(it.key(), encodeFeedbackEntry(it.value()));
    // One write replaces the old map: a crash can never leave the answers removed but not rewritten.
    kKeyFeedBackList.set(stored);
}

QPair<QString, QString> authInfo()
{
    if (!kKeyAuthInfo.contains())
        return {};
    const QStringList stored = kKeyAuthInfo.get();
    if (stored.size() != 2 || stored.at(0).isEmpty() || stored.at(1).isEmpty())
        return {};
    return {stored.at(0), stored.at(1)};
}

void setAuthInfo(const QString& email, const QString& token)
{
    kKeyAuthInfo.set({email, token});
}

bool isShortcutEnabled(const QString& name)
{
    const SettingKey<bool>* key = shortcutFlag(name);
    return key ? key->get() : true;
}

void setShortcutEnabled(const QString& name, bool enabled)
{
    if (const SettingKey<bool>* key = shortcutFlag(name))
        key->set(enabled);
}

bool isFormatShown(const QString& name)
{
    const SettingKey<bool>* key = formatFlag(name);
    return key ? key->get() : true;
}

void setFormatShown(const QString& name, bool shown)
{
    if (const SettingKey<bool>* key = formatFlag(name))
        key->set(shown);
}

} // namespace utils

QDataStream& operator<<(QDataStream& stream, const utils::ROW_MEMORY& rows)
{
    stream << qint32(rows.ocrRow) << qint32(rows.dataRow) << qint32(rows.originalRow);
    return stream;
}

QDataStream& operator>>(QDataStream& stream, utils::ROW_MEMORY& rows)
{
    qint32 ocrRow = 0;
    qint32 dataRow = 0;
    qint32 originalRow = 0;
    stream >> ocrRow >> dataRow >> originalRow;
    rows = {ocrRow, dataRow, originalRow};
    return stream;
}
