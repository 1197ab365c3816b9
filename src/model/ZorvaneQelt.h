#pragma once

#include <QMetaType>
#include <QString>
#include <QUrl>

#include <memory>

class QDataStream;
class QJsonObject;

// One Qelt as the service describes it. Records are made only from the service's JSON by fromJson and
// fromSearchHit, which never hand out an invalid record; they hold no GUI types, so the list
// downloader can make them on its worker thread.
class ZorvaneQelt
{
public:
    ZorvaneQelt() = default;
    explicit ZorvaneQelt(const QString& id);
    ZorvaneQelt(const QString& id, qint64 modifiedAt, qint64 createdAt);

    // A usable id and both times set.
    bool isValid() const;
    bool hasContent() const { return hasText() || hasLatex(); }
    bool hasLatex() const { return !latex.isEmpty(); }
    bool hasText() const { return !text.isEmpty(); }

    // Chemistry blocks ("```smiles" or "<smiles>", any case).
    static bool containsSmiles(const QString& text);
    bool containsSmiles() const { return containsSmiles(text); }
    // A tabular environment (any case).
    static bool isTable(const QString& text);
    bool isTable() const { return isTable(text); }

    // Equal content, times and image addresses; confidence to one decimal; status is ignored.
    bool operator==(const ZorvaneQelt& other) const;
    bool operator!=(const ZorvaneQelt& other) const { return !(*this == other); }
    bool sameRenderedImage(const ZorvaneQelt& other) const
    {
        return renderedImageUrl == other.renderedImageUrl;
    }

    // The Qelt's page in the web application, under the signed-in user's name.
    QUrl webUrl() const;

    // A new record from a Qelt object of the service, or null when it would not be valid. An empty id
    // or a zero time override counts as none.
    static std::shared_ptr<ZorvaneQelt> fromJson(const QJsonObject& object,
                                                 const QString& idOverride = QString(),
                                                 const qint64& modifiedAtOverride = 0,
                                                 const qint64& createdAtOverride = 0);
    // fromJson of a search hit's "_source".
    static std::shared_ptr<ZorvaneQelt> fromSearchHit(const QJsonObject& hit);

    QString id;
    QString latex;
    QString text;
    QString status;
    double confidence = 0.0;
    qint64 modified_at = 0; // seconds since the epoch, UTC
    qint64 created_at = 0;  // seconds since the epoch, UTC
    QString originalImageUrl;
    QString renderedImageUrl;
};

using ZorvaneQeltPtr = std::shared_ptr<ZorvaneQelt>;

// The stream form: id, latex, text, confidence, modified_at, created_at; no version, no marker.
// Reading leaves status and image addresses alone, and changes nothing when the stream fails.
QDataStream& operator<<(QDataStream& out, const ZorvaneQelt& qelt);
QDataStream& operator>>(QDataStream& in, ZorvaneQelt& qelt);

// The library's order: created_at ascending, then id. Both pointers must be non-null.
struct qeltLessByCreated
{
    bool operator()(const ZorvaneQeltPtr& a, const ZorvaneQeltPtr& b) const;
};

// Order by id. Both pointers must be non-null.
struct qeltLessById
{
    bool operator()(const ZorvaneQeltPtr& a, const ZorvaneQeltPtr& b) const;
};

Q_DECLARE_METATYPE(ZorvaneQelt)
Q_DECLARE_METATYPE(ZorvaneQeltPtr)
