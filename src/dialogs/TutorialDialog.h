#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TutorialDialog;
}

// A few pages on what the app does, from the capture hotkey to the gallery. Deleted on close.
class TutorialDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TutorialDialog(QWidget* parent = nullptr);
    ~TutorialDialog() override;

    // The examples document that the last page links to.
    static QString examplesUrl();

private:
    void showPage(int index);

    std::unique_ptr<Ui::TutorialDialog> m_form;
};
