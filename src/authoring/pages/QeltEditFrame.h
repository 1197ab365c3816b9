#pragma once

#include <QFrame>
#include <QPoint>
#include <QString>

#include <memory>

class QeltControllerSwitch;
class TextEditPane;
namespace Ui {
class QeltEditFrame;
}

// The edit page: one Qelt's text (Markdown) or LaTeX in an editor with a live preview, written back
// through the current controller, which changes the Qelt at once and sends the edit later.
class QeltEditFrame : public QFrame
{
    Q_OBJECT

public:
    // Throws std::runtime_error without a switch.
    QeltEditFrame(QeltControllerSwitch* switcher, QWidget* parent);
    ~QeltEditFrame() override;

    // Loads that Qelt's text (Markdown), or its LaTeX, as the current controller shows it.
    void editQelt(const QString& qeltId);
    void editQeltAlt(const QString& qeltId);
    // Forgets the Qelt and empties the editor.
    void reset();
    void collapseEditPane();

    QString qeltId() const { return m_qeltId; }
    bool isEditingLatex() const { return m_latex; }
    // The editor holds something else than what was loaded.
    bool isModified() const;
    TextEditPane* pane() const { return m_pane; }

signals:
    void WantBack();
    void ShowContextMenu(QPoint pos);

public slots:
    void onSaveClicked();
    // Back and Cancel: leave the page, after asking when an edit would be lost.
    void onBackClicked();
    void onSettingsClicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void load(const QString& qeltId, bool latex);
    void updateButtons();
    void showStatus(const QString& text);

    std::unique_ptr<Ui::QeltEditFrame> m_form;
    QeltControllerSwitch* m_switch;
    TextEditPane* m_pane = nullptr;
    QString m_qeltId;
    bool m_latex = false;
    QString m_loadedText;
};
