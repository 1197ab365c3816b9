#include "core/latex.h"

const QString kInlineDelimiterOpen = QStringLiteral("\\(");
const QString kInlineDelimiterClose = QStringLiteral("\\)");
const QString kDollarDelimiter = QStringLiteral("$");

namespace utils {

QString wrapDisplayLatex(QString text, int style, bool newlines)
{
    switch (style) {
    case 1:
        return joinLines(std::move(text), QStringLiteral("\\["), QStringLiteral("\\]"), newlines);
    case 2:
        return joinLines(std::move(text), QStringLiteral("\\begin{equation*}"),
                         QStringLiteral("\\end{equation*}"), newlines);
    case 3:
        return joinLines(std::move(text), QStringLiteral("\\begin{align*}"), QStringLiteral("\\end{align*}"),
                         newlines);
    default:
        return joinLines(std::move(text), QStringLiteral("$$"), QStringLiteral("$$"), newlines);
    }
}

QString wrapNumberedLatex(QString text, int style, bool newlines)
{
    if (style == 1)
        return joinLines(std::move(text), QStringLiteral("\\begin{align}"), QStringLiteral("\\end{align}"),
                         newlines);
    return joinLines(std::move(text), QStringLiteral("\\begin{equation}"), QStringLiteral("\\end{equation}"),
                     newlines);
}

QString joinLines(QString text, QString open, QString close, bool newlines)
{
    const QString breakText = newlines ? QStringLiteral("\r\n") : QString();
    return open + breakText + text + breakText + close;
}

} // namespace utils
