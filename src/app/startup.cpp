#include "app/startup.h"

#include "app/Application.h"
#include "core/FullDumpHandler.h"
#include "core/Logger.h"
#include "core/SystemInfo.h"
#include "core/crashreporter.h"
#include "core/memory.h"
#include "core/metatypes.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/switches.h"
#include "core/ui/MessageBox.h"
#include "library/libraryMetaTypes.h"
#include "model/modelMetaTypes.h"
#include "view/render/ContentInfo.h"

#include <QDebug>
#include <QDesktopWidget>
#include <QGuiApplication>
#include <QMetaType>
#include <QScopeGuard>
#include <QScreen>

#include <algorithm>
#include <memory>

namespace startup {

QByteArray platformFor(const QProcessEnvironment& environment)
{
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        return QByteArray();
    return environment.value(QStringLiteral("DISPLAY")).isEmpty() ? QByteArray() : QByteArrayLiteral("xcb");
}

QByteArray chromiumFlags(const QByteArray& userFlags)
{
    // Every page of ours is the same editor page: one renderer serves them all, where each would
    // otherwise start one of its own.
    static const QList<QByteArray> ours{"--renderer-process-limit=1", "--process-per-site"};
    const QList<QByteArray> given = userFlags.simplified().split(' ');
    QByteArray flags = userFlags.trimmed();
    for (const QByteArray& flag : ours) {
        const QByteArray name = flag.left(flag.indexOf('=') < 0 ? flag.size() : flag.indexOf('='));
        const bool taken = std::any_of(given.begin(), given.end(), [&name](const QByteArray& user) {
            return user == name || user.startsWith(name + '=');
        });
        if (!taken)
            flags += (flags.isEmpty() ? "" : " ") + flag;
    }
    return flags;
}

void prepareProcess()
{
    utils::useOneHeap();
    utils::returnLargeBlocksWhenFreed();
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", chromiumFlags(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS")));
    const SystemInfo& system = utils::systemInfo();
    if (system.isRedHat() || system.isManjaro())
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    const QByteArray platform = platformFor(QProcessEnvironment::systemEnvironment());
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);

    utils::registerModelMetaTypes();
    qRegisterMetaType<ContentInfo>("ContentInfo");
    utils::registerMetaTypes();
    utils::registerLibraryMetaTypes();

    QCoreApplication::setApplicationName(QStringLiteral("Zorvane Qelting Tool"));
    QCoreApplication::setOrganizationName(QStringLiteral("Zorvane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("zorvane.com"));
    // Read when the application object is made, so set before it.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    // Qt's own answer to the session manager closes every window, and a window that only hides itself
    // would cancel the log-out; the application saves on the request itself.
    QGuiApplication::setFallbackSessionManagementEnabled(false);
}

} // namespace startup

namespace {

int runApplication(int& argc, char** argv, const std::function<void(Application&)>& beforeRun)
{
    bool reporting = false;
    // Declared before the application, so that it runs after the application is gone.
    const auto stopReporting = qScopeGuard([&reporting] {
        if (reporting)
            utils::shutdownCrashReporter();
    });
    // A damaged settings file is parsed in a child process before anything reads settings; forked now,
    // while no other thread runs, the child cannot hang on a lock that one of them held.
    utils::checkSettingsFile();
    Application app(argc, argv);
    // The crash reporter reads the account: after the check.
    utils::migrateSettings();
    utils::initCrashReporter();
    reporting = true;

    if (!QApplication::desktop() || QGuiApplication::screens().isEmpty()) {
        MessageBox::critical(
            nullptr, QApplication::translate("QApplication", "zorvane-qelting-tool"),
            QApplication::translate("QApplication", "Couldn't detect desktop on this system."),
            QMessageBox::Ok, QMessageBox::NoButton);
        return 1;
    }
    Logger logger(QStringLiteral("zorvane"), 14);
    if (!utils::settingsNote().isEmpty())
        qWarning().noquote() << utils::settingsNote();
    std::unique_ptr<FullDumpHandler> fullDump;
    if (hasCommandLineArgument(kFullDumpSwitch)) {
        fullDump = std::make_unique<FullDumpHandler>();
        fullDump->install(utils::logsPath());
    }
    if (beforeRun)
        beforeRun(app);
    const int code = app.Run();
    fullDump.reset();
    return code;
}

} // namespace

int runProgram(int& argc, char** argv, const std::function<void(Application&)>& beforeRun)
{
    startup::prepareProcess();
    try {
        return runApplication(argc, argv, beforeRun);
    } catch (...) {
        // Caught only so that the application is taken down and crash reporting shut down on the way.
        throw;
    }
}
