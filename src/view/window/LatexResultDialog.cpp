#include "view/window/LatexResultDialog.h"

#include "api/http.h"
#include "authoring/pages/QeltCreateFrame.h"
#include "authoring/pages/QeltEditFrame.h"
#include "authoring/pages/QeltHandwriteFrame.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/userState.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "library/gallery/QeltListFrame.h"
#include "pdf/PdfConverterFrame.h"
#include "view/page/QeltViewFrame.h"
#include "view/window/DisplayChangePrompt.h"
#include "view/window/WindowSizer.h"
#include "view/window/userReply.h"

#include <QDebug>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>

#include <stdexcept>
#include <utility>

namespace {

// Not translated: the application's navigation filter knows the view page by its window's title.
const char* const kTitleSuffixes[] = {" - Qelts Gallery", " - Qelt View",   " - Qelt Edit",
                                      " - Qelt Create",   " - Qelt Create", " - Convert PDF"};

// What of an unreadable body goes to the log.
constexpr int kLoggedBodyBytes = 1000;

} // namespace

LatexResultDialog::LatexResultDialog(QeltControllerSwitch* switcher, QNetworkAccessManager* manager,
                                     QWidget* parent)
    : QDialog(parent), networkManager(manager), switcher(switcher)
{
    if (!switcher)
        throw std::runtime_error("[LatexResultDialog] Controller switch is null");
    if (!manager)
        throw std::runtime_error("[LatexResultDialog] Network access manager is null");
    // An ordinary top-level window, with the window system's usual buttons.
    setWindowFlags(Qt::Window);
    sizer = std::make_unique<WindowSizer>(this);
    sizer->placeAtStart();
    installEventFilter(this);

    stack = new QStackedWidget(this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetMinAndMaxSize);
    layout->addWidget(stack);
    galleryPage = new QeltListFrame(this, switcher);
    viewFrame = new QeltViewFrame(switcher, this);
    editFrame = new QeltEditFrame(switcher, this);
    createFrame = new QeltCreateFrame(switcher, this);
    handwriteFrame = new QeltHandwriteFrame(this);
    pdfFrame = new PdfConverterFrame(this);
    for (QWidget* page : {static_cast<QWidget*>(galleryPage), static_cast<QWidget*>(viewFrame.data()),
                          static_cast<QWidget*>(editFrame), static_cast<QWidget*>(createFrame),
                          static_cast<QWidget*>(handwriteFrame), static_cast<QWidget*>(pdfFrame)})
        stack->addWidget(page);

    connectViewPage();
    connectAuthoringPages();
    connectGalleryAndPdfPages();
    for (QScreen* screen : QGuiApplication::screens()) {
        connect(screen, &QScreen::logicalDotsPerInchChanged, this,
                [this] { QTimer::singleShot(1, this, &LatexResultDialog::ShowDisplayChangedPrompt); });
    }

    switchTo(GalleryPage);
    setWindowIcon(utils::appIcon());
    GetUserSettings();
}

LatexResultDialog::~LatexResultDialog()
{
    // The pages and their web views go while the window is still whole: a view that the web engine gives a
    // new surface while the window itself is being torn down would join a focus chain already half gone.
    removeEventFilter(this);
    delete std::exchange(stack, nullptr);
}

void LatexResultDialog::connectViewPage()
{
    QeltViewFrame* view = viewFrame;
    connect(view, &QeltViewFrame::ButBackClicked, this, &LatexResultDialog::ShowGallery);
    connect(view, &QeltViewFrame::SearchClicked, this, [this](const QString& text) {
        ShowGallery();
        galleryPage->setSearchText(text);
    });
    connect(view, &QeltViewFrame::WantRemoveQelt, this, &LatexResultDialog::WantRemoveQelt);
    connect(view, &QeltViewFrame::ChangeWindowSize, this,
            [this](int deltaWidth, int deltaHeight) { sizer->changeBy(deltaWidth, deltaHeight); });
    connect(view, &QeltViewFrame::UpdateSize, this, [this](QSize oldSize, QSize newSize, bool* handled) {
        if (currentPage() == ViewPage)
            sizer->adaptToContent(oldSize, newSize);
        if (handled)
            *handled = false;
    });
    connect(view, &QeltViewFrame::MakeScreenshot, this, &LatexResultDialog::MakeScreenshot);
    connect(view, qOverload<int, int>(&QeltViewFrame::SetFixedWindowSize), this,
            [this](int width, int height) { sizer->setFixedSize(width, height); });
    connect(view, &QeltViewFrame::EditQeltText, this, [this](const QString& qeltId) {
        switchTo(EditPage);
        editFrame->editQelt(qeltId);
    });
    connect(view, &QeltViewFrame::EditQeltLatex, this, [this](const QString& qeltId) {
        switchTo(EditPage);
        editFrame->editQeltAlt(qeltId);
    });
    connect(view, &QeltViewFrame::ShowContextMenu, this, &LatexResultDialog::ShowContextMenu);
    connect(view, &QeltViewFrame::PopupSettings, this, &LatexResultDialog::PopupSettings);
    connect(view, &QeltViewFrame::UploadQelt, this, &LatexResultDialog::UploadQelt);
    connect(view, &QeltViewFrame::CreateQelt, this, &LatexResultDialog::ShowCreatePageKeepMode);
    connect(view, &QeltViewFrame::ConvertPDF, this, &LatexResultDialog::ShowPdfConverter);
    connect(view, &QeltViewFrame::HandwriteQelt, this, &LatexResultDialog::ShowHandwritePage);
    connect(switcher->first(), &QeltsController::showCreatedQelt, this, [this](const QString& qeltId) {
        ClearGallerySearch();
        ShowQeltById(qeltId);
    });
}

void LatexResultDialog::connectAuthoringPages()
{
    connect(editFrame, &QeltEditFrame::WantBack, this, [this] {
        editFrame->reset();
        switchTo(ViewPage);
    });
    connect(editFrame, &QeltEditFrame::ShowContextMenu, this, &LatexResultDialog::ShowContextMenu);

    connect(createFrame, &QeltCreateFrame::showContextMenu, this, &LatexResultDialog::ShowContextMenu);
    connect(createFrame, &QeltCreateFrame::showQeltList, this, &LatexResultDialog::ShowGallery);
    connect(createFrame, &QeltCreateFrame::makeScreenshot, this, &LatexResultDialog::MakeScreenshot);
    connect(createFrame, &QeltCreateFrame::uploadQelt, this, &LatexResultDialog::UploadQelt);
    connect(createFrame, &QeltCreateFrame::convertPDF, this, &LatexResultDialog::ShowPdfConverter);
    connect(createFrame, &QeltCreateFrame::handwriteQelt, this, &LatexResultDialog::ShowHandwritePage);

    connect(handwriteFrame, &QeltHandwriteFrame::exit, this, &LatexResultDialog::OnHandwriteExit);
    connect(handwriteFrame, &QeltHandwriteFrame::scanError, this, &LatexResultDialog::ScanError);
    connect(handwriteFrame, &QeltHandwriteFrame::rateLimitError, this, &LatexResultDialog::RateLimitError);
    connect(handwriteFrame, &QeltHandwriteFrame::qeltRecognized, this, &LatexResultDialog::QeltRecognized);
    connect(handwriteFrame, &QeltHandwriteFrame::sendFeedback, this, &LatexResultDialog::SendFeedback);
}

void LatexResultDialog::connectGalleryAndPdfPages()
{
    connect(galleryPage, &QeltListFrame::showQelt, this, &LatexResultDialog::ShowQeltById);
    connect(galleryPage, &QeltListFrame::showContextMenu, this, &LatexResultDialog::ShowContextMenu);
    connect(galleryPage, &QeltListFrame::makeScreenshot, this, &LatexResultDialog::MakeScreenshot);
    connect(galleryPage, &QeltListFrame::uploadQelt, this, &LatexResultDialog::UploadQelt);
    connect(galleryPage, &QeltListFrame::createQelt, this, &LatexResultDialog::ShowCreatePageKeepMode);
    connect(galleryPage, &QeltListFrame::convertPDF, this, &LatexResultDialog::ShowPdfConverter);
    connect(galleryPage, &QeltListFrame::handwriteQelt, this, &LatexResultDialog::ShowHandwritePage);

    connect(pdfFrame, &PdfConverterFrame::takeQelt, this, &LatexResultDialog::MakeScreenshot);
    connect(pdfFrame, &PdfConverterFrame::uploadQelt, this, &LatexResultDialog::UploadQelt);
    connect(pdfFrame, &PdfConverterFrame::drawQelt, this, &LatexResultDialog::ShowHandwritePage);
    connect(pdfFrame, &PdfConverterFrame::createTextQelt, this, &LatexResultDialog::ShowCreatePageKeepMode);
    connect(pdfFrame, &PdfConverterFrame::showQeltList, this, &LatexResultDialog::ShowGallery);
    connect(pdfFrame, &PdfConverterFrame::showSettingsMenu, this, &LatexResultDialog::ShowContextMenu);
}

void LatexResultDialog::ClearGallerySearch()
{
    galleryPage->setSearchText(QString());
}

void LatexResultDialog::SaveFeedbackRecord()
{
    if (viewFrame)
        viewFrame->SaveFeedbackRecord();
}

void LatexResultDialog::OnQeltsCountChanged()
{
    if (viewFrame)
        viewFrame->OnQeltsCountChanged();
}

void LatexResultDialog::OnFormattingChanged(utils::ResultFormat rf)
{
    // The page fills its rows again itself, shown or hidden; a second fill here would only render the
    // same text twice.
    if (viewFrame)
        viewFrame->SetResultFormat(rf);
}

void LatexResultDialog::OnNonLatexFormatsChanged(QList<bool> format)
{
    if (viewFrame)
        viewFrame->SetFormats(format);
}

void LatexResultDialog::OnLoggedOut()
{
    pdfFrame->onRemoveAllClicked();
    // Nothing of the account that signed out stays for the next one to see: not its Qelt on the view page,
    // not an edit, a draft or a drawing.
    editFrame->reset();
    createFrame->reset(createFrame->isMarkdown());
    if (!handwriteFrame->isScanning()) {
        handwriteFrame->clear();
        handwriteFrame->hideError();
    }
    collapseEditPanes();
    // Nor its search: the next account would open on its words and on results that are no longer there.
    ClearGallerySearch();
    switchTo(GalleryPage);
}

int LatexResultDialog::currentPage() const
{
    return stack ? stack->currentIndex() : -1;
}

QeltViewFrame* LatexResultDialog::viewPage() const
{
    return viewFrame;
}

QSize LatexResultDialog::windowSize() const
{
    return sizer->windowSize();
}

QSize LatexResultDialog::viewPageSize() const
{
    return sizer->viewPageSize();
}

void LatexResultDialog::FitToScreen(const QRect& rect)
{
    sizer->fitToScreen(rect);
}

void LatexResultDialog::ShowDisplayChangedPrompt()
{
    if (DisplayChangePrompt::ask(this))
        emit RestartApp();
}

void LatexResultDialog::GetUserSettings()
{
    const QString token = utils::authInfo().second;
    if (token.isEmpty()) {
        qInfo() << "[LatexResultDialog] Not signed in: no user settings to get";
        return;
    }
    QNetworkRequest request =
        ZorvaneAPI::http::authorizedRequest(utils::apiUrl() + QStringLiteral("/v1/user"), token);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkReply* reply = networkManager->get(request);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, token] { onUserSettingsReply(*reply, token); });
}

void LatexResultDialog::onUserSettingsReply(QNetworkReply& reply, const QString& token)
{
    ZorvaneAPI::http::settleReply(reply);
    if (reply.error() != QNetworkReply::NoError) {
        qWarning().noquote() << "[LatexResultDialog] Failed to get user settings, error:" << reply.error()
                             << reply.errorString();
        return;
    }
    if (ZorvaneAPI::http::refusesRedirect(reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                                          QStringLiteral("LatexResultDialog")))
        return;
    // Asked for one account, answered after it signed out: the name is no longer anyone's here.
    if (utils::authInfo().second != token) {
        qInfo() << "[LatexResultDialog] User settings arrived for an account no longer signed in";
        return;
    }
    const QByteArray body = reply.readAll();
    const userReply::Outcome outcome = userReply::read(body);
    switch (outcome.kind) {
    case userReply::Kind::Invalid:
        qWarning().noquote() << "[LatexResultDialog] Received invalid json:"
                             << QString::fromUtf8(body.left(kLoggedBodyBytes));
        break;
    case userReply::Kind::Error:
        qWarning().noquote() << "[LatexResultDialog] Got an error from getting user settings" << outcome.text;
        break;
    case userReply::Kind::UserName:
        kKeyUserName.set(outcome.text);
        break;
    case userReply::Kind::NoUserName:
        break;
    }
}

void LatexResultDialog::switchTo(Page page)
{
    setWindowTitle(QCoreApplication::applicationName() + QLatin1String(kTitleSuffixes[page]));
    stack->setCurrentIndex(page);
}

void LatexResultDialog::collapseEditPanes()
{
    editFrame->collapseEditPane();
    createFrame->collapseEditPane();
}

bool LatexResultDialog::onViewPage() const
{
    return currentPage() == ViewPage && viewFrame;
}
