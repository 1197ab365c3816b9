#include "view/render/PageFormats.h"

#include <QJsonArray>

PageFormats PageFormats::fromReply(const QJsonObject& reply)
{
    PageFormats formats;
    const QList<QPair<QString, QStringList*>> lists{
        {QStringLiteral("html"), &formats.html},
        {QStringLiteral("tsv"), &formats.tsv},
        {QStringLiteral("csv"), &formats.csv},
        {QStringLiteral("mathmlword"), &formats.mathmlword},
        {QStringLiteral("mathml"), &formats.mathml},
        {QStringLiteral("svg"), &formats.svg},
        {QStringLiteral("smiles"), &formats.smiles},
        {QStringLiteral("mol"), &formats.mol},
        {QStringLiteral("inchi"), &formats.inchi},
        {QStringLiteral("inchi_key"), &formats.inchiKey},
        {QStringLiteral("table-markdown"), &formats.tableMarkdown},
        {QStringLiteral("asciimath"), &formats.asciimath},
    };
    const QJsonArray entries = reply.value(QStringLiteral("formats")).toArray();
    for (const QJsonValue& entry : entries) {
        const QJsonObject object = entry.toObject();
        const QString type = object.value(QStringLiteral("type")).toString();
        const QString value = object.value(QStringLiteral("value")).toString();
        if (value.isEmpty())
            continue;
        for (const auto& list : lists) {
            if (list.first == type) {
                list.second->append(value);
                break;
            }
        }
    }
    return formats;
}

bool PageFormats::isEmpty() const
{
    return smiles.isEmpty() && onlySmiles();
}

bool PageFormats::onlySmiles() const
{
    return html.isEmpty() && tsv.isEmpty() && csv.isEmpty() && mathmlword.isEmpty() && mathml.isEmpty() &&
           svg.isEmpty() && mol.isEmpty() && inchi.isEmpty() && inchiKey.isEmpty() &&
           tableMarkdown.isEmpty() && asciimath.isEmpty();
}

QList<QStringList> PageFormats::dataGroups(const QString& docxText, const QString& csvText,
                                           const std::function<bool(const QString&)>& shown) const
{
    const auto offered = [&shown](const QString& name, const QStringList& values) {
        return shown(name) ? values : QStringList();
    };
    return {QStringList{docxText},
            shown(QStringLiteral("csv")) && !csv.isEmpty() ? QStringList{csvText} : QStringList(),
            offered(QStringLiteral("mathmlword"), mathmlword),
            offered(QStringLiteral("mathml"), mathml),
            offered(QStringLiteral("asciimath"), asciimath),
            offered(QStringLiteral("svg"), svg),
            offered(QStringLiteral("html"), html),
            offered(QStringLiteral("tsv"), tsv)};
}
