#include "core/ui/FileDialog.h"

#include <optional>

namespace {

// Dialogs open on the GUI thread only, so a plain static is enough.
std::optional<QStringList> s_nextFileNames;

std::optional<QStringList> takeNextFileNames()
{
    std::optional<QStringList> names;
    names.swap(s_nextFileNames);
    return names;
}

} // namespace

QString FileDialog::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter, QString* selectedFilter,
                                    QFileDialog::Options options)
{
    if (const auto names = takeNextFileNames())
        return names->value(0);
    return QFileDialog::getOpenFileName(parent, caption, dir, filter, selectedFilter, options);
}

QStringList FileDialog::getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                         const QString& filter, QString* selectedFilter,
                                         QFileDialog::Options options)
{
    if (const auto names = takeNextFileNames())
        return *names;
    return QFileDialog::getOpenFileNames(parent, caption, dir, filter, selectedFilter, options);
}

QString FileDialog::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter, QString* selectedFilter,
                                    QFileDialog::Options options)
{
    if (const auto names = takeNextFileNames())
        return names->value(0);
    return QFileDialog::getSaveFileName(parent, caption, dir, filter, selectedFilter, options);
}

QString FileDialog::getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir,
                                         QFileDialog::Options options)
{
    if (const auto names = takeNextFileNames())
        return names->value(0);
    return QFileDialog::getExistingDirectory(parent, caption, dir, options);
}

void FileDialog::setNextFileName(const QString& fileName)
{
    // An empty name stands for a cancelled dialog: no names at all, as the statics give then.
    s_nextFileNames = fileName.isEmpty() ? QStringList() : QStringList{fileName};
}

void FileDialog::setNextFileNames(const QStringList& fileNames)
{
    s_nextFileNames = fileNames;
}
