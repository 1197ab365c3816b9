#pragma once

#include <QImage>
#include <QRunnable>
#include <QString>

#include <functional>

// Decodes one image file on a pool thread and hands the picture to its callback; a file that cannot
// be read is logged and handed over as a null picture.
class ImageLoader : public QRunnable
{
public:
    using Callback = std::function<void(const QString& path, const QImage& image)>;

    ImageLoader(const QString& path, Callback callback);
    ~ImageLoader() override;

    void run() override;

private:
    QString m_path;
    Callback m_callback;
};
