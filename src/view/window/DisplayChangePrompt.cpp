#include "view/window/DisplayChangePrompt.h"

#include "core/settings.h"
#include "core/ui/MessageBox.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDebug>
#include <QPushButton>

namespace {

// GUI thread only.
bool s_open = false;

} // namespace

bool DisplayChangePrompt::ask(QWidget* parent)
{
    if (s_open || !kKeyShowDPIMsgBox.get())
        return false;
    s_open = true;
    qInfo() << "[DisplayChangePrompt] Display settings changed, asking for a restart";
    QMessageBox box(QMessageBox::Information, QCoreApplication::applicationName(),
                    QCoreApplication::translate(
                        "LatexResultDialog",
                        "Please restart your app in order to update to your display settings. If you have "
                        "unsaved written LaTeX or Markdown, please save it before restarting or your work "
                        "will be lost."),
                    QMessageBox::NoButton, parent);
    QPushButton* now = box.addButton(QCoreApplication::translate("LatexResultDialog", "  Restart Now  "),
                                     QMessageBox::ActionRole);
    box.addButton(QCoreApplication::translate("LatexResultDialog", "  Restart Later  "),
                  QMessageBox::RejectRole);
    auto* check = new QCheckBox(QStringLiteral("Don't show this again."), &box);
    box.setCheckBox(check);
    QObject::connect(check, &QCheckBox::toggled, [](bool ticked) { kKeyShowDPIMsgBox.set(!ticked); });
    const MessageBox::Button answer = MessageBox::exec(box);
    // Answered without a window (MessageBox::setNextAnswer), Yes stands for "Restart Now".
    const bool restart = box.clickedButton() ? box.clickedButton() == now : answer == QMessageBox::Yes;
    if (!restart)
        s_open = false;
    return restart;
}

bool DisplayChangePrompt::isOpen()
{
    return s_open;
}
