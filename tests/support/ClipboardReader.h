#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace zq::test {

// The clipboard as another X client reads it: the bytes offered under `format` (a MIME type, or a target
// name such as "PNG"), empty when nothing is offered under it. This process keeps answering the other
// client meanwhile: its event loop runs while the reader works.
QByteArray clipboardFromOtherClient(const QString& format);
// The formats the clipboard offers to another X client.
QStringList clipboardFormatsFromOtherClient();

// Another X client that takes the clipboard with `text` as it is made, and keeps it while it lives or
// until a third client, this process too, takes the clipboard from it.
class OtherClientClipboard
{
public:
    explicit OtherClientClipboard(const QString& text);
    ~OtherClientClipboard();

    // It took the clipboard and no other client has taken it since, as far as it has heard yet.
    bool holds() const;

private:
    QProcess m_holder;
    bool m_held = false;
};

} // namespace zq::test
