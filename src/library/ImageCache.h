#pragma once

#include "library/CachedImage.h"

#include <QImage>
#include <QMap>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <functional>

// Decoded gallery images by file path, loaded on a pool of its own threads so that scrolling never
// waits for a decoder. Paths stay until their user removes them. The listener hears, on a pool thread
// and with the cache's lock held, the owner of each image that arrives, and the unreadable listener the
// owner and path of each file that does not decode: they may only note or post that, never call back
// into the cache.
class ImageCache
{
public:
    using Listener = std::function<void(const QString& owner)>;
    using UnreadableListener = std::function<void(const QString& owner, const QString& path)>;
    static constexpr int kMaxThreads = 10;

    static ImageCache& instance();

    // The process uses instance(); a cache of its own is for measuring.
    explicit ImageCache(int maxThreads = kMaxThreads);
    // Loaders still running at exit must not deliver into a cache that is going away.
    ~ImageCache();

    ImageCache(const ImageCache&) = delete;
    ImageCache& operator=(const ImageCache&) = delete;

    // The picture when it is decoded; otherwise null, with a loader started unless one runs already or
    // the file did not decode (until the path is removed).
    QImage get(const QString& path, const QString& owner);
    void remove(const QString& path);
    void setListener(Listener listener);
    void setUnreadableListener(UnreadableListener listener);

    void onLoaded(const QString& path, const QImage& image);

    // Blocks until every started loader has finished; for orderly shutdown and measuring.
    void waitForLoaders();

private:
    QMap<QString, CachedImage> m_images;
    QSet<QString> m_loading;
    Listener m_listener;
    UnreadableListener m_unreadableListener;
    QMutex m_mutex;
    QThreadPool m_pool;
};
