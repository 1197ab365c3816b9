#pragma once

#include "core/ResultFormat.h"
#include "model/ZorvaneQelt.h"

#include <QDialog>
#include <QList>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>

#include <memory>

class PdfConverterFrame;
class QNetworkAccessManager;
class QNetworkReply;
class QStackedWidget;
class QeltControllerSwitch;
class QeltCreateFrame;
class QeltEditFrame;
class QeltHandwriteFrame;
class QeltListFrame;
class QeltViewFrame;
class WindowSizer;

// The application's main window: a stack of six pages (gallery, view of one Qelt, edit, create, handwriting
// pad, PDF) that it switches between when a page asks, each with its title; it keeps itself on the screen at
// a sensible size, offers a restart when a screen's DPI changes, hides to the tray (or minimises without
// one) instead of closing, and fetches the signed-in user's name. The application makes it once, without
// a parent, and connects its signals. GUI thread only.
class LatexResultDialog : public QDialog
{
    Q_OBJECT

public:
    enum Page { GalleryPage, ViewPage, EditPage, CreatePage, HandwritePage, PdfPage };

    // Throws std::runtime_error when switcher or manager is null.
    LatexResultDialog(QeltControllerSwitch* switcher, QNetworkAccessManager* manager,
                      QWidget* parent = nullptr);
    ~LatexResultDialog() override;

    // What the application calls.
    void ShowQeltView(ZorvaneQeltPtr qelt);
    void ShowCreatePage(bool markdown);
    void ClearGallerySearch();
    // A capture or an upload began: the view page readies itself for the Qelt it will bring.
    void PrepareQeltView();
    void SaveFeedbackRecord();
    void GetUserSettings();
    // Connected to the controllers' qeltsCountChanged.
    void OnQeltsCountChanged();

    // The keys of the view page, from the application's navigation filter; they act on page 1 only.
    void OnPrevQeltKey();
    void OnNextQeltKey();
    void OnFirstQeltKey();
    void OnLastQeltKey();
    void OnRowUpKey();
    void OnPrevTabKey();
    void OnRowDownKey();
    void OnNextTabKey();
    void OnDeleteKey();

    // Page switches, as the pages ask for them.
    void ShowGallery();
    void ShowQeltById(const QString& qeltId);
    void ShowCreatePageKeepMode();
    void ShowHandwritePage();
    void ShowPdfConverter();
    void OnHandwriteExit();

    void ShowDisplayChangedPrompt();
    // Clamps rect to the available geometry of the window's screen and applies it.
    void FitToScreen(const QRect& rect);

    int currentPage() const;
    // Visible on the screen; a window readying a result off the screen is visible to Qt alone.
    bool isOnScreen() const;
    QeltListFrame* gallery() const { return galleryPage; }
    // Null once the view page is gone.
    QeltViewFrame* viewPage() const;
    QeltEditFrame* editPage() const { return editFrame; }
    QeltCreateFrame* createPage() const { return createFrame; }
    QeltHandwriteFrame* handwritePage() const { return handwriteFrame; }
    PdfConverterFrame* pdfPage() const { return pdfFrame; }
    // The remembered sizes: of the view page, and of every other page.
    QSize windowSize() const;
    QSize viewPageSize() const;

signals:
    void SendFeedback();
    void ShowContextMenu(QPoint pos);
    void PopupSettings(int tabIndex);
    void WantRemoveQelt(QString qelt_id);
    void MakeScreenshot();
    void UploadQelt();
    void RestartApp();
    void Shown();
    void ScanError(QString errorText);
    void RateLimitError(QString errorMessage);
    void QeltRecognized(ZorvaneQeltPtr qelt);

public slots:
    void OnFormattingChanged(utils::ResultFormat rf);
    void OnNonLatexFormatsChanged(QList<bool> format);
    void OnLoggedOut();
    // Without a tray, Escape minimises: a hidden window could not be found again.
    void reject() override;
    // A show asked for while the window readies a result off the screen brings it on the screen at once;
    // a hide ends the readying.
    void setVisible(bool visible) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void connectViewPage();
    void connectAuthoringPages();
    void connectGalleryAndPdfPages();
    // The stack shows `page` under its title.
    void switchTo(Page page);
    void collapseEditPanes();
    // The start of opening the create, handwriting or PDF page: title, window up, size of the other pages.
    void openPage(Page page);
    void onUserSettingsReply(QNetworkReply& reply, const QString& token);
    bool onViewPage() const;
    // A Qelt to show: the window comes up, raised and active.
    void popUp();
    // A hidden window lays out, sizes and renders a result as a shown one does, without coming on the
    // screen: it comes up once, at the result's size, with the result drawn.
    void readyOffScreen();
    bool isReadyingOffScreen() const;

    QNetworkAccessManager* networkManager;
    QStackedWidget* stack = nullptr;
    int previousPage = GalleryPage;
    QeltControllerSwitch* switcher;
    QeltListFrame* galleryPage = nullptr;
    QeltCreateFrame* createFrame = nullptr;
    PdfConverterFrame* pdfFrame = nullptr;
    QeltHandwriteFrame* handwriteFrame = nullptr;
    QPointer<QeltViewFrame> viewFrame;
    QeltEditFrame* editFrame = nullptr;
    std::unique_ptr<WindowSizer> sizer;
    // A hidden window waits for the Qelt it is to show to arrive on the view page before it comes up.
    bool popUpPending = false;
    // The window left the screen showing a page without web views.
    bool leftScreenOffViewPage = false;
};
