#pragma once

#include <QMessageBox>

// Every message box of the product goes through here, so that a test can answer the next one without
// a window ever appearing. Same arguments as the QMessageBox statics.
class MessageBox
{
public:
    using Button = QMessageBox::StandardButton;
    using Buttons = QMessageBox::StandardButtons;

    static Button question(QWidget* parent, const QString& title, const QString& text,
                           Buttons buttons = Buttons(QMessageBox::Yes | QMessageBox::No),
                           Button defaultButton = QMessageBox::NoButton);
    static Button information(QWidget* parent, const QString& title, const QString& text,
                              Buttons buttons = QMessageBox::Ok,
                              Button defaultButton = QMessageBox::NoButton);
    static Button warning(QWidget* parent, const QString& title, const QString& text,
                          Buttons buttons = QMessageBox::Ok, Button defaultButton = QMessageBox::NoButton);
    static Button critical(QWidget* parent, const QString& title, const QString& text,
                           Buttons buttons = QMessageBox::Ok, Button defaultButton = QMessageBox::NoButton);
    // Runs a box the caller dressed itself (own button texts, no icon, fixed size). The answer is the
    // standard button clicked: NoButton for a button added by role, Cancel when none was.
    static Button exec(QMessageBox& box);

    // The next box, of any kind, is not shown and answers `answer`; only that one. NoButton forgets it.
    static void setNextAnswer(Button answer);

private:
    static Button show(QMessageBox::Icon icon, QWidget* parent, const QString& title, const QString& text,
                       Buttons buttons, Button defaultButton);
};
