#pragma once

#include "model/ZorvaneQelt.h"

#include <QPixmap>
#include <QString>

#include <memory>
#include <set>
#include <utility>
#include <vector>

class QIODevice;
class QeltsImageController;

// The Qelts of one controller, in creation order and by id, with the navigation the pages step
// through, and the per-user Qelts file. GUI thread only; keeps its image controller's index in step.
class QeltsContainer
{
public:
    static constexpr qint32 kFileVersion = 2;

    enum class ReadResult { Ok, NoVersion, WrongVersion, InvalidRecord };

    // The image controller may be null: the Qelts then come and go without images.
    explicit QeltsContainer(QeltsImageController* imageController);

    // True when the whole file was read. Otherwise the Qelts read before the damage stay (none for a
    // file of another version or one that cannot be opened), and the reason is logged.
    bool load(const QString& path);
    // True when the new file is in place; the previous file is kept whole otherwise.
    bool save(const QString& path) const;

    // The file's content from a device: the records are inserted (with images) as they are read, and
    // reading stops at the first invalid or cut-off record; those before it stay. `version` receives the
    // version read.
    ReadResult read(QIODevice* device, qint32* version = nullptr);
    // False when the device refused a byte.
    bool write(QIODevice* device) const;

    // Without a pixmap no QPixmap is made, so that readers run where there is no GUI application.
    void insert(const ZorvaneQeltPtr& qelt, bool withImages);
    void insert(const ZorvaneQeltPtr& qelt, bool withImages, const QPixmap& pixmap);
    void update(const ZorvaneQeltPtr& oldQelt, const ZorvaneQeltPtr& newQelt);
    void remove(const QString& id, qint64 createdAt, bool withImages);
    void clear();

    qint64 count() const { return qint64(m_byDate.size()); }
    bool isEmpty() const { return m_byId.empty(); }
    ZorvaneQeltPtr first() const;
    ZorvaneQeltPtr last() const;
    ZorvaneQeltPtr next(const ZorvaneQeltPtr& qelt) const;
    ZorvaneQeltPtr previous(const ZorvaneQeltPtr& qelt) const;
    ZorvaneQeltPtr find(const QString& id) const;
    std::vector<ZorvaneQeltPtr> all() const;
    // Position in creation order (0 when not found) and the count.
    std::pair<int, int> indexOf(const QString& id, qint64 createdAt) const;

private:
    using ByDate = std::set<ZorvaneQeltPtr, qeltLessByCreated>;
    using ById = std::set<ZorvaneQeltPtr, qeltLessById>;

    ByDate::const_iterator findByDate(const QString& id, qint64 createdAt) const;
    bool insertRecord(const ZorvaneQeltPtr& qelt);

    ByDate m_byDate;
    ById m_byId;
    QeltsImageController* m_imageController;
};
