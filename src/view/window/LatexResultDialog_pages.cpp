// The main window's page switches, the view page's keys and the window's own events.
#include "authoring/pages/QeltCreateFrame.h"
#include "authoring/pages/QeltHandwriteFrame.h"
#include "authoring/pages/TextEditPane.h"
#include "core/settings.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "library/gallery/QeltListFrame.h"
#include "view/page/QeltViewFrame.h"
#include "view/window/LatexResultDialog.h"
#include "view/window/WindowSizer.h"

#include <QCloseEvent>
#include <QDebug>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStackedWidget>

#include <utility>

void LatexResultDialog::ShowGallery()
{
    collapseEditPanes();
    if (switcher->mode() != 0)
        galleryPage->refreshSearch();
    switchTo(GalleryPage);
    if (!isOnScreen())
        return;
    if (isMaximized()) {
        show();
    } else {
        showNormal();
        sizer->recentreTo(sizer->windowSize());
    }
    activateWindow();
}

void LatexResultDialog::ShowQeltView(ZorvaneQeltPtr qelt)
{
    if (!qelt) {
        qWarning() << "[LatexResultDialog] No Qelt to show";
        return;
    }
    collapseEditPanes();
    switchTo(ViewPage);
    const bool popsUp = kKeyPopupConfidenceWindow.get();
    if (popsUp && (isHidden() || isReadyingOffScreen()) && viewFrame) {
        // A hidden window comes up once, at the size the result asks for and with the result drawn in it,
        // rather than at its old size first or with an empty view. Until then it is shown to Qt alone: a
        // hidden window lays nothing out and its web views draw nothing.
        readyOffScreen();
        viewFrame->ShowQelt(qelt);
        if (std::exchange(popUpPending, true))
            return;
        viewFrame->WhenResultViewReady(this, [this] {
            popUpPending = false;
            // Sent to another page meanwhile (a sign-out empties the library): nothing to come up for.
            if (!onViewPage()) {
                if (isReadyingOffScreen())
                    hide();
                return;
            }
            // A row the page chose while the window was hidden keeps the focus.
            const QPointer<QWidget> chosen = focusWidget();
            popUp();
            if (chosen && chosen != this)
                chosen->setFocus(Qt::OtherFocusReason);
        });
        return;
    }
    if (popsUp)
        popUp();
    if (viewFrame)
        viewFrame->ShowQelt(qelt);
}

void LatexResultDialog::popUp()
{
    isMaximized() ? show() : showNormal();
    raise();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
}

void LatexResultDialog::readyOffScreen()
{
    if (!isHidden())
        return;
    setAttribute(Qt::WA_DontShowOnScreen);
    QDialog::setVisible(true);
}

bool LatexResultDialog::isReadyingOffScreen() const
{
    return testAttribute(Qt::WA_DontShowOnScreen);
}

bool LatexResultDialog::isOnScreen() const
{
    return isVisible() && !isReadyingOffScreen();
}

void LatexResultDialog::setVisible(bool visible)
{
    if (!isReadyingOffScreen()) {
        if (!visible && isVisible())
            leftScreenOffViewPage = currentPage() != ViewPage;
        QDialog::setVisible(visible);
        return;
    }
    // Only a hidden window comes on the screen when shown.
    QDialog::setVisible(false);
    setAttribute(Qt::WA_DontShowOnScreen, false);
    if (!visible)
        return;
    // A native window that showed plain pixels last shows the result views' black for a frame when it
    // turns to composing them: the view page comes up in a new one.
    if (std::exchange(leftScreenOffViewPage, false) && onViewPage() && testAttribute(Qt::WA_WState_Created))
        destroy();
    QDialog::setVisible(true);
}

void LatexResultDialog::ShowQeltById(const QString& qeltId)
{
    if (const ZorvaneQeltPtr qelt = switcher->current()->qeltById(qeltId))
        ShowQeltView(qelt);
}

void LatexResultDialog::PrepareQeltView()
{
    if (viewFrame)
        viewFrame->PrepareForQelt();
}

void LatexResultDialog::openPage(Page page)
{
    switchTo(page);
    if (!isOnScreen())
        showNormal();
    activateWindow();
    sizer->openPage();
}

void LatexResultDialog::ShowCreatePage(bool markdown)
{
    openPage(CreatePage);
    // Coming back to the page in the mode it is in keeps what was typed and not yet sent.
    if (createFrame->isMarkdown() == markdown && !createFrame->pane()->isBlank())
        return;
    createFrame->reset(markdown);
}

void LatexResultDialog::ShowCreatePageKeepMode()
{
    ShowCreatePage(createFrame->isMarkdown());
}

void LatexResultDialog::ShowHandwritePage()
{
    const int from = currentPage();
    openPage(HandwritePage);
    // Opened from the pad itself, leaving it still leads where it led.
    if (from != HandwritePage)
        previousPage = from;
    if (!handwriteFrame->isScanning()) {
        handwriteFrame->clear();
        handwriteFrame->hideError();
        handwriteFrame->setDrawMode();
    }
}

void LatexResultDialog::ShowPdfConverter()
{
    openPage(PdfPage);
}

void LatexResultDialog::OnHandwriteExit()
{
    switch (previousPage) {
    case PdfPage:
        ShowPdfConverter();
        return;
    case CreatePage:
        ShowCreatePageKeepMode();
        return;
    case ViewPage:
        // The Qelt may have gone meanwhile; the gallery then, rather than staying on the pad.
        if (viewFrame && switcher->current()->qeltById(viewFrame->currentQeltId())) {
            ShowQeltById(viewFrame->currentQeltId());
            return;
        }
        break;
    default:
        break;
    }
    ShowGallery();
}

void LatexResultDialog::OnPrevQeltKey()
{
    if (onViewPage())
        viewFrame->PrevQelt();
}

void LatexResultDialog::OnNextQeltKey()
{
    if (onViewPage())
        viewFrame->NextQelt();
}

void LatexResultDialog::OnFirstQeltKey()
{
    if (onViewPage())
        viewFrame->FirstQelt();
}

void LatexResultDialog::OnLastQeltKey()
{
    if (onViewPage())
        viewFrame->LastQelt();
}

void LatexResultDialog::OnRowUpKey()
{
    if (onViewPage())
        viewFrame->OnPrevRowKey();
}

void LatexResultDialog::OnPrevTabKey()
{
    if (onViewPage())
        viewFrame->SelectPrevTab(-1, true);
}

void LatexResultDialog::OnRowDownKey()
{
    if (onViewPage())
        viewFrame->OnNextRowKey();
}

void LatexResultDialog::OnNextTabKey()
{
    if (onViewPage())
        viewFrame->SelectNextTab(-1, true);
}

void LatexResultDialog::OnDeleteKey()
{
    if (onViewPage())
        viewFrame->DeleteQelt();
}

bool LatexResultDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this) {
        const QEvent::Type type = event->type();
        const bool leftRelease =
            (type == QEvent::MouseButtonRelease || type == QEvent::NonClientAreaMouseButtonRelease) &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        // The window manager's frame keeps its releases to itself: hiding ends a resize or move as well.
        if (leftRelease || type == QEvent::Hide)
            sizer->settled(currentPage() == ViewPage, currentPage() == GalleryPage);
    }
    return QDialog::eventFilter(watched, event);
}

void LatexResultDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && isFullScreen()) {
        showNormal();
        return;
    }
    QDialog::keyPressEvent(event);
}

void LatexResultDialog::reject()
{
    if (!kKeySystemTrayAvailable.get()) {
        showMinimized();
        return;
    }
    QDialog::reject();
}

void LatexResultDialog::moveEvent(QMoveEvent* event)
{
    sizer->moved();
    QDialog::moveEvent(event);
}

void LatexResultDialog::resizeEvent(QResizeEvent* event)
{
    sizer->resized(event->size(), currentPage() == ViewPage);
    QDialog::resizeEvent(event);
}

void LatexResultDialog::closeEvent(QCloseEvent* event)
{
    if (kKeySystemTrayAvailable.get()) {
        event->accept();
        return;
    }
    event->ignore();
    showMinimized();
}

void LatexResultDialog::showEvent(QShowEvent* event)
{
    event->accept();
    if (!isReadyingOffScreen())
        emit Shown();
}

void LatexResultDialog::changeEvent(QEvent* event)
{
    if (event->type() != QEvent::WindowStateChange) {
        QDialog::changeEvent(event);
        return;
    }
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if ((change->oldState() & Qt::WindowMaximized) &&
        (windowState() & ~Qt::WindowActive) == Qt::WindowNoState)
        sizer->restoreFromMaximised(currentPage() == ViewPage, currentPage() == GalleryPage);
    event->accept();
}
