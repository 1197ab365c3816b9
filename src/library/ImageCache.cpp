#include "library/ImageCache.h"

#include "library/ImageLoader.h"

#include <QMutexLocker>

ImageCache& ImageCache::instance()
{
    static ImageCache cache;
    return cache;
}

ImageCache::ImageCache(int maxThreads)
{
    m_pool.setMaxThreadCount(maxThreads);
}

ImageCache::~ImageCache()
{
    {
        QMutexLocker lock(&m_mutex);
        m_listener = nullptr;
        m_unreadableListener = nullptr;
    }
    m_pool.clear();
    m_pool.waitForDone();
}

QImage ImageCache::get(const QString& path, const QString& owner)
{
    QMutexLocker lock(&m_mutex);
    auto it = m_images.constFind(path);
    if (it != m_images.constEnd() && !it->image.isNull())
        return it->image;
    if (m_loading.contains(path))
        return QImage();
    m_images.insert(path, CachedImage{QImage(), owner});
    m_loading.insert(path);
    m_pool.start(new ImageLoader(
        path, [this](const QString& loaded, const QImage& image) { onLoaded(loaded, image); }));
    return QImage();
}

void ImageCache::remove(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    m_images.remove(path);
    m_loading.remove(path);
}

void ImageCache::setListener(Listener listener)
{
    QMutexLocker lock(&m_mutex);
    m_listener = std::move(listener);
}

void ImageCache::setUnreadableListener(UnreadableListener listener)
{
    QMutexLocker lock(&m_mutex);
    m_unreadableListener = std::move(listener);
}

void ImageCache::onLoaded(const QString& path, const QImage& image)
{
    QMutexLocker lock(&m_mutex);
    if (!m_loading.contains(path))
        return;
    if (image.isNull()) {
        // Stays loading, so that no repaint starts another loader on it until its user lets it go.
        if (m_unreadableListener)
            m_unreadableListener(m_images.value(path).owner, path);
        return;
    }
    m_loading.remove(path);
    CachedImage& entry = m_images[path];
    entry.image = image;
    if (m_listener)
        m_listener(entry.owner);
}

void ImageCache::waitForLoaders()
{
    m_pool.waitForDone();
}
