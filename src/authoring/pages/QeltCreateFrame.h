#pragma once

#include <QFrame>
#include <QPoint>
#include <QString>
#include <QTimer>

#include <memory>

class QeltControllerSwitch;
class TextEditPane;
namespace Ui {
class QeltCreateFrame;
}

// The create-from-text page: Markdown or LaTeX typed with a live preview, made into a Qelt on the
// service through the library controller. The typed text stays until the new Qelt has arrived, since
// a create that fails says nothing.
class QeltCreateFrame : public QFrame
{
    Q_OBJECT

public:
    // How long the Create button waits for the new Qelt before it may be pressed again.
    static constexpr int kCreateWaitMs = 30000;

    // Throws std::runtime_error without a switch.
    QeltCreateFrame(QeltControllerSwitch* switcher, QWidget* parent);
    ~QeltCreateFrame() override;

    // Empties the editor and selects Markdown (true) or LaTeX (false).
    void reset(bool markdown);
    bool isMarkdown() const;
    void collapseEditPane();

    // A Qelt has been asked for and has not arrived yet.
    bool isWaiting() const { return m_waiting; }
    void setCreateWait(int ms) { m_waitTimer.setInterval(ms); }
    TextEditPane* pane() const { return m_pane; }

signals:
    void showContextMenu(QPoint pos);
    void showQeltList();
    void handwriteQelt();
    void makeScreenshot();
    void uploadQelt();
    void convertPDF();

public slots:
    // Sends the typed text to be made into a Qelt of the library.
    void createQelt();
    void onSettingsClicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onQeltCreated(const QString& qeltId);
    void onModeSelected();
    void stopWaiting();
    void updateButtons();
    void showStatus(const QString& text);

    std::unique_ptr<Ui::QeltCreateFrame> m_form;
    QeltControllerSwitch* m_switch;
    TextEditPane* m_pane = nullptr;
    bool m_waiting = false;
    // The text of the last create, until its Qelt has come (also after the wait) or the page is reset.
    QString m_sentText;
    QTimer m_waitTimer;
};
