// Every reader of the settings file, fed with arbitrary bytes. The first byte picks the reader: the whole
// file as the next start finds it (set aside when unreadable, then the typed reads, which meet our value
// types inside Qt's variant form, and the settings window's presets), or one stored record, which must
// write back to what it read.
#include "core/Preset.h"
#include "core/ResultFormat.h"
#include "core/builtinPresets.h"
#include "core/metatypes.h"
#include "core/settings.h"
#include "core/shortcuts.h"
#include "core/userState.h"
#include "dialogs/logic/PresetChooser.h"

#include <QDataStream>
#include <QDir>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>

// A damaged file may make Qt ask for more memory than exists; that must fail as it does outside the
// sanitizer, by a null allocation that Qt turns into std::bad_alloc.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// What the product has when it reads settings: the application object, here on the offscreen platform,
// since a stored picture value makes Qt build a pixmap.
struct Setup
{
    QTemporaryDir config;
    int argc = 1;
    char* argv[2] = {const_cast<char*>("fuzz"), nullptr};
    bool environment = qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path())) &&
                       qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app{argc, argv};

    Setup()
    {
        qInstallMessageHandler(quiet);
        QCoreApplication::setOrganizationName(QStringLiteral("Zorvane"));
        utils::registerMetaTypes();
    }
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Whatever was stored, the settings window's presets start from the built-in lists, hold no unsaved
// values, and the values in use are within the window's bounds.
void checkPresets()
{
    const PresetChooser chooser;
    const QList<Preset>* builtIn[] = {&builtInPngPresets, &builtInTiffPresets};
    for (int type : {0, 1}) {
        const QList<Preset>& presets = chooser.presets(type);
        check(presets.mid(0, builtIn[type]->size()) == *builtIn[type]);
        for (const Preset& preset : presets)
            check(preset.fileType == type && preset.builtInType != Preset::Unsaved);
    }
    const Preset& working = chooser.working();
    check(working.fileType == 0 || working.fileType == 1);
    check(working.fontSize >= PresetChooser::kMinFontSize && working.fontSize <= PresetChooser::kMaxFontSize);
    check(working.dpi >= PresetChooser::kMinDpi && working.dpi <= PresetChooser::kMaxDpi);
    const QList<Preset>& current = chooser.presets(working.fileType);
    check(chooser.chosenIndex() >= 0 && chooser.chosenIndex() < current.size());
    check(chooser.isCustom() || working == current[chooser.chosenIndex()]);
}

void readFile(const QByteArray& bytes)
{
    static int run = 0;
    // A fresh name each run: Qt keeps parsed files and may not see a same-sized rewrite in one second.
    QCoreApplication::setApplicationName(QStringLiteral("fuzz-%1").arg(run++));
    const QString path = QSettings().fileName();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return;
    file.close();
    utils::migrateSettings();
    (void)kKeyLastScreenshot.get();
    (void)kKeyLastWinSize.get();
    (void)kKeyImageSetting.get();
    (void)kKeySavedPreset.get().value<Preset>();
    (void)utils::resultFormat();
    (void)utils::rowMemory();
    (void)utils::feedbackList();
    (void)utils::authInfo();
    (void)utils::shortcutLatex();
    checkPresets();
    QDir(QFileInfo(path).absolutePath()).removeRecursively();
}

template <typename T> QByteArray written(const T& value)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_4_0);
    out << value;
    return bytes;
}

// Colours in odd spellings need not survive a rewrite; their reader must only be safe.
template <typename T, bool kRewrite = true> void readAndRewrite(const QByteArray& bytes)
{
    T value;
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_4_0);
    in >> value;
    if (!kRewrite || in.status() != QDataStream::Ok)
        return;
    // What was read, written and read again gives the same bytes: nothing is lost or made up on the way.
    T again;
    QDataStream second(written(value));
    second.setVersion(QDataStream::Qt_4_0);
    second >> again;
    if (second.status() != QDataStream::Ok || written(again) != written(value))
        std::abort();
}

void readFeedback(const QByteArray& bytes)
{
    const FeedbackEntry entry = utils::decodeFeedbackEntry(bytes);
    if (bytes.size() >= 5 &&
        utils::encodeFeedbackEntry(entry) != bytes.left(4) + char(entry.complete ? 1 : 0))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Setup setup;
    static void (*const readers[])(const QByteArray&) = {readAndRewrite<utils::shortcuts::Shortcut>,
                                                         readAndRewrite<utils::ResultFormat>,
                                                         readAndRewrite<Preset, false>,
                                                         readAndRewrite<utils::ROW_MEMORY>,
                                                         readFeedback,
                                                         readFile};
    if (size > 0)
        readers[data[0] % 6](QByteArray(reinterpret_cast<const char*>(data + 1), int(size - 1)));
    return 0;
}
