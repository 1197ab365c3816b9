#pragma once

#include <QString>
#include <QStringList>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// One copyable format on the view page: a read-only field with its buttons. A plain value record:
// copies share the widgets, which belong to the parent given at construction; the layout belongs to
// whoever inserts it.
struct ResultRow
{
    // Longer texts are cut in the field; the record keeps the whole text for copies.
    static constexpr int kDisplayLimit = 1000;
    // The keys that copy events report, one per format except Chemistry.
    static const QStringList formatKeys;

    ResultRow() = default;
    ResultRow(QWidget* parent, int tab, int format, const QString& text, bool latex, bool chemistry,
              bool table);

    // Empty for a format without a key or outside the known formats.
    QString formatKey() const;

    QHBoxLayout* layout = nullptr;
    QLineEdit* lineEdit = nullptr;
    QPushButton* copyButton = nullptr;
    QPushButton* editButton = nullptr;
    QPushButton* searchButton = nullptr;
    QLabel* copiedLabel = nullptr;
    int tab = 0;
    int format = 0;
    bool latex = false;
    bool chemistry = false;
    bool table = false;
    QString text;
};
