#pragma once

#include <QFrame>
#include <QPoint>

#include <memory>

namespace Ui {
class PdfConverterFrame;
}

// The PDF page: its place among the main window's pages, with the toolbar that leads to the others,
// and the list that its conversions' rows take.
class PdfConverterFrame : public QFrame
{
    Q_OBJECT

public:
    explicit PdfConverterFrame(QWidget* parent);
    ~PdfConverterFrame() override;

    // The rows in the list.
    int rowCount() const;

signals:
    void takeQelt();
    void uploadQelt();
    void drawQelt();
    void createTextQelt();
    void showQeltList();
    void showSettingsMenu(QPoint pos);

public slots:
    // Deletes every row and empties the list.
    void onRemoveAllClicked();

private:
    QList<QWidget*> rows() const;
    void updateList();

    std::unique_ptr<Ui::PdfConverterFrame> m_form;
};
