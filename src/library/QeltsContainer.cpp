#include "library/QeltsContainer.h"

#include "library/QeltsImageController.h"
#include "library/savedFile.h"

#include <QDataStream>
#include <QDebug>
#include <QFile>

#include <iterator>

QeltsContainer::QeltsContainer(QeltsImageController* imageController) : m_imageController(imageController) {}

bool QeltsContainer::load(const QString& path)
{
    clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "[QeltsContainer]"
                             << "Can't read qelts list from disk."
                             << "Failed to open file for reading:" << path;
        return false;
    }
    qint32 version = 0;
    switch (read(&file, &version)) {
    case ReadResult::Ok:
        return true;
    case ReadResult::NoVersion:
    case ReadResult::WrongVersion:
        qInfo().noquote() << "[QeltsContainer]"
                          << "Qelts list file version mismatch."
                          << "File version:" << version << "."
                          << "Current version:" << kFileVersion << "."
                          << "Skipping file";
        return false;
    case ReadResult::InvalidRecord:
        qWarning().noquote()
            << QStringLiteral("[QeltsContainer] Invalid qelt record after %1 good ones in").arg(count())
            << path;
        return false;
    }
    return false;
}

QeltsContainer::ReadResult QeltsContainer::read(QIODevice* device, qint32* version)
{
    QDataStream in(device);
    switch (utils::readStoredVersion(in, kFileVersion, version)) {
    case utils::StoredVersion::Missing:
        return ReadResult::NoVersion;
    case utils::StoredVersion::Other:
        return ReadResult::WrongVersion;
    case utils::StoredVersion::Ok:
        break;
    }
    while (!in.atEnd()) {
        auto qelt = std::make_shared<ZorvaneQelt>();
        in >> qelt->id >> qelt->latex >> qelt->text >> qelt->confidence >> qelt->modified_at >>
            qelt->created_at >> qelt->originalImageUrl >> qelt->renderedImageUrl;
        if (in.status() != QDataStream::Ok || !qelt->isValid())
            return ReadResult::InvalidRecord;
        insert(qelt, true);
    }
    return ReadResult::Ok;
}

bool QeltsContainer::save(const QString& path) const
{
    return utils::saveFile(
        path, [this](QIODevice* device) { return write(device); }, QStringLiteral("[QeltsContainer]"),
        QStringLiteral("qelts list"));
}

bool QeltsContainer::write(QIODevice* device) const
{
    QDataStream out(device);
    out.setVersion(QDataStream::Qt_5_15);
    out << kFileVersion;
    for (const ZorvaneQeltPtr& qelt : m_byId) {
        if (out.status() != QDataStream::Ok)
            break;
        out << qelt->id << qelt->latex << qelt->text << qelt->confidence << qelt->modified_at
            << qelt->created_at << qelt->originalImageUrl << qelt->renderedImageUrl;
    }
    return out.status() == QDataStream::Ok;
}

bool QeltsContainer::insertRecord(const ZorvaneQeltPtr& qelt)
{
    if (!qelt)
        return false;
    // The id index decides: a second record with a known id goes into neither set. The file is written
    // in id order and ids grow with time, so most loads append: the end is the hint.
    const size_t before = m_byId.size();
    m_byId.insert(m_byId.end(), qelt);
    if (m_byId.size() == before)
        return false;
    m_byDate.insert(m_byDate.end(), qelt);
    return true;
}

void QeltsContainer::insert(const ZorvaneQeltPtr& qelt, bool withImages)
{
    if (insertRecord(qelt) && withImages && m_imageController)
        m_imageController->addQelt(qelt, QPixmap());
}

void QeltsContainer::insert(const ZorvaneQeltPtr& qelt, bool withImages, const QPixmap& pixmap)
{
    if (insertRecord(qelt) && withImages && m_imageController)
        m_imageController->addQelt(qelt, pixmap);
}

void QeltsContainer::update(const ZorvaneQeltPtr& oldQelt, const ZorvaneQeltPtr& newQelt)
{
    if (oldQelt)
        remove(oldQelt->id, oldQelt->created_at, false);
    insert(newQelt, false);
    if (newQelt && m_imageController)
        m_imageController->updateQelt(newQelt);
}

void QeltsContainer::remove(const QString& id, qint64 createdAt, bool withImages)
{
    Q_UNUSED(createdAt) // the stored record's own time finds it in the date order
    auto byId = m_byId.find(std::make_shared<ZorvaneQelt>(id));
    if (byId == m_byId.end())
        return;
    const ZorvaneQeltPtr stored = *byId;
    m_byId.erase(byId);
    m_byDate.erase(stored);
    if (withImages && m_imageController)
        m_imageController->removeQelt(id);
}

void QeltsContainer::clear()
{
    m_byDate.clear();
    m_byId.clear();
}

ZorvaneQeltPtr QeltsContainer::first() const
{
    return m_byDate.empty() ? nullptr : *m_byDate.begin();
}

ZorvaneQeltPtr QeltsContainer::last() const
{
    return m_byDate.empty() ? nullptr : *m_byDate.rbegin();
}

QeltsContainer::ByDate::const_iterator QeltsContainer::findByDate(const QString& id, qint64 createdAt) const
{
    return m_byDate.find(std::make_shared<ZorvaneQelt>(id, 0, createdAt));
}

ZorvaneQeltPtr QeltsContainer::next(const ZorvaneQeltPtr& qelt) const
{
    if (m_byDate.empty())
        return nullptr;
    if (!qelt)
        return first();
    auto it = findByDate(qelt->id, qelt->created_at);
    if (it == m_byDate.end() || std::next(it) == m_byDate.end())
        return qelt;
    return *std::next(it);
}

ZorvaneQeltPtr QeltsContainer::previous(const ZorvaneQeltPtr& qelt) const
{
    if (m_byDate.empty())
        return nullptr;
    if (!qelt)
        return first();
    auto it = findByDate(qelt->id, qelt->created_at);
    if (it == m_byDate.end() || it == m_byDate.begin())
        return qelt;
    return *std::prev(it);
}

ZorvaneQeltPtr QeltsContainer::find(const QString& id) const
{
    if (id.isEmpty())
        return nullptr;
    auto it = m_byId.find(std::make_shared<ZorvaneQelt>(id));
    return it == m_byId.end() ? nullptr : *it;
}

std::vector<ZorvaneQeltPtr> QeltsContainer::all() const
{
    return std::vector<ZorvaneQeltPtr>(m_byDate.begin(), m_byDate.end());
}

std::pair<int, int> QeltsContainer::indexOf(const QString& id, qint64 createdAt) const
{
    auto it = findByDate(id, createdAt);
    const int index = it == m_byDate.end() ? 0 : int(std::distance(m_byDate.begin(), it));
    return {index, int(m_byDate.size())};
}
