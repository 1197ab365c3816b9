// A fresh process that reads settings as the next start of the application would, printing one
// line per argument. Tests run it to see what survives a restart: QSettings keeps parsed files
// inside one process, so only a new process shows what the file really holds.
#include "core/ResultFormat.h"
#include "core/SettingKey.h"
#include "core/settings.h"
#include "core/shortcuts.h"
#include "core/switches.h"
#include "core/userState.h"

#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QMap>
#include <QTextStream>

#include <functional>

namespace {

QString show(int value)
{
    return QString::number(value);
}
QString show(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}
QString show(const QString& value)
{
    return value.isNull() ? QStringLiteral("<null>") : value;
}
QString show(const QStringList& value)
{
    return QLatin1Char('[') + value.join(QLatin1Char('|')) + QLatin1Char(']');
}

QString show(const QRect& value)
{
    if (value.isNull())
        return QStringLiteral("null");
    return QStringLiteral("%1,%2 %3x%4").arg(value.x()).arg(value.y()).arg(value.width()).arg(value.height());
}

QString show(const QDateTime& value)
{
    return value.isNull() ? QStringLiteral("null") : value.toUTC().toString(Qt::ISODateWithMs);
}

QString show(const QVariant& value)
{
    return QStringLiteral("%1:%2").arg(QString::fromLatin1(value.typeName()), value.toString());
}

QString show(const QVariantList& value)
{
    QStringList items;
    for (const QVariant& item : value)
        items << show(item);
    return show(items);
}

QString show(const QVariantMap& value)
{
    QStringList items;
    for (auto it = value.begin(); it != value.end(); ++it)
        items << it.key() + QLatin1Char('=') + QString::fromLatin1(it.value().toByteArray().toHex());
    return show(items);
}

template <typename T> QString streamed(const T& value)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << value;
    return QString::fromLatin1(bytes.toHex());
}

QString show(const utils::shortcuts::Shortcut& shortcut)
{
    return QStringLiteral("%1/%2").arg(int(shortcut.modifiers), 0, 16).arg(shortcut.key, 0, 16);
}

template <typename T> QString describe(const SettingKey<T>& key)
{
    return QStringLiteral("contains=%1 value=%2").arg(key.contains() ? 1 : 0).arg(show(key.get()));
}

// "<type>:<key>[:<default>]" reads a key built here; any other word runs the command of that name.
QString run(const QString& command)
{
    if (command.startsWith(QLatin1String("hasArgument=")))
        return show(hasCommandLineArgument(command.section(QLatin1Char('='), 1)));
    const QStringList parts = command.split(QLatin1Char(':'));
    const QString type = parts.value(0);
    const QString name = parts.value(1);
    const QString fallback = parts.value(2);
    if (type == QLatin1String("int"))
        return describe(SettingKey<int>(name, fallback.toInt()));
    if (type == QLatin1String("bool"))
        return describe(SettingKey<bool>(name, fallback == QLatin1String("true")));
    if (type == QLatin1String("string"))
        return describe(SettingKey<QString>(name, fallback));
    if (type == QLatin1String("stringlist"))
        return describe(SettingKey<QStringList>(name, {}));
    if (type == QLatin1String("variantlist"))
        return describe(SettingKey<QVariantList>(name, {}));
    if (type == QLatin1String("variantmap"))
        return describe(SettingKey<QVariantMap>(name, {}));
    if (type == QLatin1String("rect"))
        return describe(SettingKey<QRect>(name, QRect(1, 2, 3, 4)));
    if (type == QLatin1String("datetime"))
        return describe(SettingKey<QDateTime>(name, {}));
    if (type == QLatin1String("variant"))
        return describe(SettingKey<QVariant>(name, {}));

    static const QMap<QString, std::function<QString()>> commands = {
        {QStringLiteral("downloadFolders"),
         [] { return kKeyLastOpenedFolder.get() + QLatin1Char('|') + kKeyPdfDownloadsFolder.get(); }},
        {QStringLiteral("resultFormat"), [] { return streamed(utils::resultFormat()); }},
        {QStringLiteral("rowMemory"), [] { return streamed(utils::rowMemory()); }},
        {QStringLiteral("feedbackList"),
         [] {
             QStringList entries;
             const auto list = utils::feedbackList();
             for (auto it = list.begin(); it != list.end(); ++it)
                 entries << QStringLiteral("%1:%2:%3").arg(it.key()).arg(it->rating).arg(show(it->complete));
             return show(entries);
         }},
        {QStringLiteral("authInfo"),
         [] {
             const auto [email, token] = utils::authInfo();
             return show(email) + QLatin1Char('|') + show(token);
         }},
        {QStringLiteral("shortcuts"),
         [] {
             return QStringList({show(utils::shortcutLatex()), show(utils::shortcutReload()),
                                 show(utils::shortcutMarkdownEdit()), show(utils::shortcutLatexEdit())})
                 .join(QLatin1Char(' '));
         }},
        {QStringLiteral("flags"),
         [] {
             return QStringList({show(utils::isShortcutEnabled(QStringLiteral("latex"))),
                                 show(utils::isShortcutEnabled(QStringLiteral("latexedit"))),
                                 show(utils::isFormatShown(QStringLiteral("svg"))),
                                 show(utils::isFormatShown(QStringLiteral("mathmlword")))})
                 .join(QLatin1Char(' '));
         }},
        {QStringLiteral("migrate"),
         [] {
             utils::migrateSettings();
             return show(kKeySettingsVersion.get());
         }},
    };
    const auto found = commands.find(command);
    return found == commands.end() ? QStringLiteral("unknown command ") + command : found.value()();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    zq::test::prepareApplication();
    QTextStream out(stdout);
    const QStringList args = app.arguments().mid(1);
    // Arguments that start with a dash are switches for the commands to find, not commands.
    for (const QString& arg : args) {
        if (!arg.startsWith(QLatin1Char('-')))
            out << run(arg) << '\n';
    }
    return 0;
}
