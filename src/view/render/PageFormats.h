#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The formats that the editor page derived from the text it rendered last, one list per type in the order
// the page sent them. Entries with an empty value, no type or a type of no list here are left out.
struct PageFormats
{
    QStringList html;
    QStringList tsv;
    QStringList csv;
    QStringList mathmlword;
    QStringList mathml;
    QStringList svg;
    QStringList smiles;
    QStringList mol;
    QStringList inchi;
    QStringList inchiKey;
    QStringList tableMarkdown;
    QStringList asciimath;

    // The page's reply object {"formats": [{"type", "value"}, ...]}; a missing or non-array "formats", or
    // an entry that is not an object, counts as no entries.
    static PageFormats fromReply(const QJsonObject& reply);

    bool isEmpty() const;
    // Nothing arrived but SMILES strings (or nothing at all).
    bool onlySmiles() const;

    // The values of the eight Data groups in their fixed order: DOCX, CSV, MathML for Word, MathML,
    // AsciiMath, SVG, HTML, TSV. The first two hold the action rows' texts; `shown` answers whether a
    // format, by its settings name, is offered at all.
    QList<QStringList> dataGroups(const QString& docxText, const QString& csvText,
                                  const std::function<bool(const QString&)>& shown) const;

    // The first value of a list, or an empty string for an empty list.
    static QString first(const QStringList& values) { return values.isEmpty() ? QString() : values.first(); }
};
