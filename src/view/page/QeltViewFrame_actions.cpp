// The service actions of the page: the DOCX export, the solver, the chat and the recognition feedback
// with deletion. They are not built yet. Until they are, the operations the rest of the page calls do
// nothing, and their controls are kept out of reach: hidden, and the solver out of the tab bar.

#include "view/page/QeltViewFrame.h"

#include <QPushButton>

void QeltViewFrame::ConnectActions()
{
    for (QPushButton* button : {ui.but_thumbs_up, ui.but_thumbs_down, tellUsWhyButton, ui.but_open_docx,
                                ui.but_ocr_doc_help, ui.but_delete})
        button->hide();
    solverInTabBar = false;
    RemoveTab(ui.tab_solver);
}

void QeltViewFrame::UpdateFeedbackButtons() {}

void QeltViewFrame::LoadChatHistory() {}

void QeltViewFrame::UpdateChatPixmaps() {}

void QeltViewFrame::StartSolve(const ZorvaneQeltConstPtr&) {}

void QeltViewFrame::RetrySolve() {}

void QeltViewFrame::OpenDocx() {}

void QeltViewFrame::DeleteQelt() {}
