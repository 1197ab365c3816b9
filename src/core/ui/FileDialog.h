#pragma once

#include <QFileDialog>
#include <QStringList>

// Every file dialog of the product goes through here, so that a test can name the next file without a
// dialog ever appearing. Same arguments as the QFileDialog statics.
class FileDialog
{
public:
    static QString getOpenFileName(QWidget* parent = nullptr, const QString& caption = QString(),
                                   const QString& dir = QString(), const QString& filter = QString(),
                                   QString* selectedFilter = nullptr,
                                   QFileDialog::Options options = QFileDialog::Options());
    static QStringList getOpenFileNames(QWidget* parent = nullptr, const QString& caption = QString(),
                                        const QString& dir = QString(), const QString& filter = QString(),
                                        QString* selectedFilter = nullptr,
                                        QFileDialog::Options options = QFileDialog::Options());
    static QString getSaveFileName(QWidget* parent = nullptr, const QString& caption = QString(),
                                   const QString& dir = QString(), const QString& filter = QString(),
                                   QString* selectedFilter = nullptr,
                                   QFileDialog::Options options = QFileDialog::Options());
    static QString getExistingDirectory(QWidget* parent = nullptr, const QString& caption = QString(),
                                        const QString& dir = QString(),
                                        QFileDialog::Options options = QFileDialog::ShowDirsOnly);

    // The next dialog, of any kind, is not shown and answers these names (the first one where a single
    // name is asked for); only that one. An empty name or list answers as a cancelled dialog would.
    static void setNextFileName(const QString& fileName);
    static void setNextFileNames(const QStringList& fileNames);
};
