#pragma once

#include <QByteArray>
#include <QMap>
#include <QMetaType>
#include <QPair>
#include <QString>

class QDataStream;

namespace utils {

// The entry last selected in each tab of the Qelt view page, in the page's own numbering.
struct ROW_MEMORY
{
    int ocrRow = 0;
    int dataRow = 0;
    int originalRow = 0;

    bool operator==(const ROW_MEMORY& other) const
    {
        return ocrRow == other.ocrRow && dataRow == other.dataRow && originalRow == other.originalRow;
    }
    bool operator!=(const ROW_MEMORY& other) const { return !(*this == other); }
};

} // namespace utils

// The user's answer for one Qelt.
struct FeedbackEntry
{
    // -1 no answer, 0 thumbs down, 1 thumbs up.
    int rating = -1;
    // Nothing more is asked for this Qelt.
    bool complete = false;
};

namespace utils {

ROW_MEMORY rowMemory();
void setRowMemory(const ROW_MEMORY& rows);

// The stored feedback answers by Qelt id.
QMap<QString, FeedbackEntry> feedbackList();
// Replaces every stored answer by the given ones.
void setFeedbackList(const QMap<QString, FeedbackEntry>& list);
// One stored answer: a 32-bit rating and a one-byte flag. Missing bytes read as 0 and false.
FeedbackEntry decodeFeedbackEntry(const QByteArray& bytes);
QByteArray encodeFeedbackEntry(const FeedbackEntry& entry);

// E-mail and token of the signed-in account; both null unless both are stored and non-empty.
QPair<QString, QString> authInfo();
void setAuthInfo(const QString& email, const QString& token);

// Enable flags of the hotkeys "latex", "open", "latexedit" and "markdownedit", and show flags of the
// result formats "html", "svg", "asciimath", "tsv", "csv", "latex", "mathml" and "mathmlword".
// An unknown name (names are case-sensitive) reads as true and is never stored.
bool isShortcutEnabled(const QString& name);
void setShortcutEnabled(const QString& name, bool enabled);
bool isFormatShown(const QString& name);
void setFormatShown(const QString& name, bool shown);

} // namespace utils

QDataStream& operator<<(QDataStream& stream, const utils::ROW_MEMORY& rows);
QDataStream& operator>>(QDataStream& stream, utils::ROW_MEMORY& rows);

Q_DECLARE_METATYPE(utils::ROW_MEMORY)
