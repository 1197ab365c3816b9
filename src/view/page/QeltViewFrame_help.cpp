// The help pop-ups of the DOCX export and the solver: speech bubbles by their help buttons, closed by a
// click elsewhere.

#include "view/page/QeltViewFrame.h"

#include "ui_HelpTip.h"
#include "ui_ToolTip.h"

#include <QDialog>
#include <QPolygon>
#include <QPushButton>
#include <QRegion>

namespace {

void showBubble(QWidget* page, const QWidget* button, const QString& text, const QPolygon& outline,
                const QSize& size, const QPoint& offset)
{
    auto* dialog = new QDialog(page, Qt::Popup | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                         Qt::NoDropShadowWindowHint);
    dialog->setAttribute(Qt::WA_TranslucentBackground);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* frame = new QFrame(dialog);
    Ui_ToolTip form;
    form.setupUi(frame);
    form.label->setText(text);
    frame->setFixedSize(size);
    frame->setMask(QRegion(outline));
    dialog->setFixedSize(size);
    const QWidget* anchor = button->parentWidget() ? button->parentWidget() : button;
    dialog->move(anchor->mapToGlobal(button->pos() + offset));
    dialog->show();
}

} // namespace

void QeltViewFrame::ShowDocxHelp()
{
    showBubble(
        this, ui.but_ocr_doc_help,
        tr("DOCX is compatible with all versions of \nMS Word, copying the MS Word format may not \nbe "
           "compatible with all versions of MS Word."),
        QPolygon({QPoint(0, 8), QPoint(132, 8), QPoint(136, 0), QPoint(140, 8), QPoint(302, 8),
                  QPoint(302, 66), QPoint(0, 66)}),
        QSize(305, 75), QPoint(-129, 16));
}

void QeltViewFrame::ShowDataRowHelp()
{
    const auto* button = qobject_cast<const QWidget*>(sender());
    showBubble(this, button ? button : ui.scrollAreaWidgetContents,
               tr("Double click the row or hit ENTER on your keyboard when the row is selected to open DOCX"),
               QPolygon({QPoint(8, 12), QPoint(555, 12), QPoint(555, 36), QPoint(8, 36), QPoint(8, 28),
                         QPoint(0, 24), QPoint(8, 20)}),
               QSize(555, 40), QPoint(18, -16));
}

void QeltViewFrame::ShowSolverHelp()
{
    QPushButton* button = ui.but_help;
    auto* dialog = new QDialog(button, Qt::Popup | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                           Qt::NoDropShadowWindowHint);
    dialog->setAttribute(Qt::WA_TranslucentBackground);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* frame = new QFrame(dialog);
    frame->setStyleSheet(QStringLiteral("background-color: rgb(245, 245, 245);"));
    Ui_HelpTip form;
    form.setupUi(frame);
    frame->setFixedSize(410, 260);
    // A 410 x 248 body whose top edge carries an upward arrow with its tip at x = 362.
    frame->setMask(QRegion(QPolygon({QPoint(0, 12), QPoint(354, 12), QPoint(362, 0), QPoint(370, 12),
                                     QPoint(410, 12), QPoint(410, 260), QPoint(0, 260)})));
    dialog->setFixedSize(410, 280);
    const QWidget* anchor = button->parentWidget() ? button->parentWidget() : button;
    dialog->move(anchor->mapToGlobal(QPoint(button->x() - 354, button->y() + button->height() + 10)));
    dialog->show();
}
