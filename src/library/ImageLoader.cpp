#include "library/ImageLoader.h"

#include <QDebug>

ImageLoader::ImageLoader(const QString& path, Callback callback)
    : m_path(path), m_callback(std::move(callback))
{
    setAutoDelete(true);
}

ImageLoader::~ImageLoader() = default;

void ImageLoader::run()
{
    QImage image;
    if (!image.load(m_path))
        qWarning().noquote() << "Failed to load image from file:" << m_path;
    if (m_callback)
        m_callback(m_path, image);
}
