// The settings file as the next start finds it, whatever is in it: the start-up step that sets an
// unreadable file aside, then the typed reads the application makes. None may throw or crash.
#include "core/Preset.h"
#include "core/ResultFormat.h"
#include "core/metatypes.h"
#include "core/settings.h"
#include "core/shortcuts.h"
#include "core/userState.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdint>

// A damaged file may make Qt ask for more memory than exists; that must fail as it does outside the
// sanitizer, by a null allocation that Qt turns into std::bad_alloc.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

struct Setup
{
    QTemporaryDir config;

    Setup()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        qInstallMessageHandler(quiet);
        QCoreApplication::setOrganizationName(QStringLiteral("Zorvane"));
        utils::registerMetaTypes();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Setup setup;
    static int run = 0;
    // A fresh name each run: Qt keeps parsed files and may not see a same-sized rewrite in one second.
    QCoreApplication::setApplicationName(QStringLiteral("fuzz-%1").arg(run++));
    const QString path = QSettings().fileName();
    QDir().mkpath(QFileInfo(path).absolutePath());
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }

    utils::migrateSettings();
    (void)kKeyCountTakenScreenshots.get();
    (void)kKeyLastScreenshot.get();
    (void)kKeyLastWinSize.get();
    (void)kKeyImageSetting.get();
    (void)kKeySavedPreset.get().value<Preset>();
    (void)kKeyLastOpenedFolder.get();
    (void)utils::resultFormat();
    (void)utils::rowMemory();
    (void)utils::feedbackList();
    (void)utils::authInfo();
    (void)utils::shortcutLatex();
    (void)utils::isFormatShown(QStringLiteral("svg"));

    QDir(QFileInfo(path).absolutePath()).removeRecursively();
    return 0;
}
