#include "core/ui/MessageBox.h"

#include <utility>

namespace {

// Boxes open on the GUI thread only, so a plain static is enough.
MessageBox::Button s_nextAnswer = QMessageBox::NoButton;

} // namespace

MessageBox::Button MessageBox::question(QWidget* parent, const QString& title, const QString& text,
                                        Buttons buttons, Button defaultButton)
{
    return show(QMessageBox::Question, parent, title, text, buttons, defaultButton);
}

MessageBox::Button MessageBox::information(QWidget* parent, const QString& title, const QString& text,
                                           Buttons buttons, Button defaultButton)
{
    return show(QMessageBox::Information, parent, title, text, buttons, defaultButton);
}

MessageBox::Button MessageBox::warning(QWidget* parent, const QString& title, const QString& text,
                                       Buttons buttons, Button defaultButton)
{
    return show(QMessageBox::Warning, parent, title, text, buttons, defaultButton);
}

MessageBox::Button MessageBox::critical(QWidget* parent, const QString& title, const QString& text,
                                        Buttons buttons, Button defaultButton)
{
    return show(QMessageBox::Critical, parent, title, text, buttons, defaultButton);
}

MessageBox::Button MessageBox::exec(QMessageBox& box)
{
    if (s_nextAnswer != QMessageBox::NoButton)
        return std::exchange(s_nextAnswer, QMessageBox::NoButton);
    box.exec();
    // Closed without any button (no escape button to stand in): Cancel, as the QMessageBox statics say.
    return box.clickedButton() ? box.standardButton(box.clickedButton()) : QMessageBox::Cancel;
}

void MessageBox::setNextAnswer(Button answer)
{
    s_nextAnswer = answer;
}

MessageBox::Button MessageBox::show(QMessageBox::Icon icon, QWidget* parent, const QString& title,
                                    const QString& text, Buttons buttons, Button defaultButton)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return exec(box);
}
