#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zq::test {

// The clipboard as another X client reads it: the bytes offered under `format` (a MIME type, or a target
// name such as "PNG"), empty when nothing is offered under it. This process keeps answering the other
// client meanwhile: its event loop runs while the reader works.
QByteArray clipboardFromOtherClient(const QString& format);
// The formats the clipboard offers to another X client.
QStringList clipboardFormatsFromOtherClient();

} // namespace zq::test
