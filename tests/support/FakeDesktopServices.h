#pragma once

#include <QProcess>
#include <QStringList>

#include <memory>

namespace zq::test {

// Services of the desktop on the session bus, as a process of their own: the screenshot services (GNOME
// Shell's, KWin's, the portal), answering as their script says (tests/support/screenshot_service), or a
// tray that is a notifier service (tests/support/notifier_service). Start them on a private session bus,
// where nobody else owns their names. They leave when their stdin closes: with this object, or with the
// test if it dies.
class FakeDesktopServices
{
public:
    // Once they own their names; null when they did not in time.
    static std::unique_ptr<FakeDesktopServices> screenshots(const QStringList& script);
    static std::unique_ptr<FakeDesktopServices> notifier();
    ~FakeDesktopServices();

    // What they printed so far: ["ready"], then one compact JSON array per call.
    QStringList output();
    QStringList calls() { return output().mid(1); }

private:
    static std::unique_ptr<FakeDesktopServices> start(const QString& program, const QStringList& arguments);

    QProcess m_process;
    QStringList m_lines;
};

} // namespace zq::test
