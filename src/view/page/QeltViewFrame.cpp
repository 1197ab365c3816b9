#include "view/page/QeltViewFrame.h"

#include "core/settings.h"
#include "core/ui/styles.h"
#include "core/ui/widgets.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "view/bridge/ImageCreator.h"
#include "view/bridge/WebViewWrapper.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QSpacerItem>
#include <QStandardPaths>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>
#include <stdexcept>
#include <utility>

namespace {

const QUrl kEditorPage(QStringLiteral("qrc:/html/zorvane_qelting_editor.html"));
constexpr int kAllFlags = WebViewWrapper::Selectable | WebViewWrapper::ScrollBars |
                          WebViewWrapper::DelayedResult | WebViewWrapper::CoverWhileApplying |
                          WebViewWrapper::CopyButton;
constexpr int kCopiedMs = 3000;
constexpr int kFeedbackRecordMs = 300000;
// A Qelt still on its way to the page after this long (its page loading, its result rendering) is not
// waited for any more.
int resultViewWaitMs = 2000;

// The two controllers behind the switch, once each.
QList<QeltsController*> controllersOf(const QeltControllerSwitch* switcher)
{
    QList<QeltsController*> controllers{switcher->first()};
    if (switcher->second() != switcher->first())
        controllers << switcher->second();
    return controllers;
}

QeltControllerSwitch* checked(QeltControllerSwitch* switcher)
{
    if (!switcher)
        throw std::runtime_error("QeltViewFrame: switcher is null");
    return switcher;
}

} // namespace

QeltViewFrame::QeltViewFrame(QeltControllerSwitch* switcher, QWidget* parent)
    : QFrame(parent), switcher(checked(switcher))
{
    for (QeltsController* controller : controllersOf(switcher))
        connect(controller, &QeltsController::qeltRemoved, this, &QeltViewFrame::OnQeltRemoved);
    ui.setupUi(this);
    ui.tab_scanResult->setStyleSheet(utils::styles::tabWidget());
    for (QPushButton* button :
         {ui.but_create_qelt, ui.but_delete, ui.but_handwrite_qelt, ui.but_settings, ui.but_show_list,
          ui.but_show_pdf_converter, ui.but_take_qelt, ui.but_upload_qelt})
        button->setStyleSheet(utils::styles::flatButton());
    ui.but_first->setStyleSheet(utils::styles::segmentButton(true));
    ui.but_last->setStyleSheet(utils::styles::segmentButton(false));
    ui.but_prev->setStyleSheet(utils::styles::segmentButton(false));
    ui.but_next->setStyleSheet(utils::styles::segmentButton(true));
    ui.but_clear_chat->setStyleSheet(utils::styles::paddedFlatButton());
    ui.but_send_message->setStyleSheet(utils::styles::paddedFlatButton());

    // The rendered result takes what room the window gives its tab, not the buttons under it.
    ui.verticalLayout_6->setStretchFactor(ui.frame_web, 1);
    ui.verticalLayout_13->setStretchFactor(ui.horizontalLayout_5, 1);

    // The chat is built and wired but never offered in the tab bar.
    RemoveTab(ui.tab_qeltchat);

    imageCreator = new ImageCreator(kEditorPage, this);
    ocrView = std::make_unique<WebViewWrapper>(ui.web, kEditorPage, kAllFlags);
    solverView = std::make_unique<WebViewWrapper>(ui.result_view, kEditorPage, kAllFlags);
    markdownView = std::make_unique<WebViewWrapper>(ui.markdown_view, kEditorPage, kAllFlags);
    dataView = std::make_unique<WebViewWrapper>(ui.data_result_view, kEditorPage, kAllFlags);
    downloadDir = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);

    MakeConnections();
    BuildTabBarRow();

    ui.but_thumbs_down->setToolTip(tr("Inaccurate OCR"));
    ui.but_thumbs_up->setToolTip(tr("Accurate OCR"));
    loadingMovie = new QMovie(QStringLiteral(":/images/loading_spinner.gif"), QByteArray(), this);
    ui.loading->setMovie(loadingMovie);
    for (QObject* watched :
         std::initializer_list<QObject*>{this, ui.lb_origin_image, ui.lb_originOCR, ui.lb_origindata, ui.web,
                                         ui.markdown_view, ui.result_view})
        watched->installEventFilter(this);

    copiedTimer = new QTimer(this);
    copiedTimer->setSingleShot(true);
    copiedTimer->setInterval(kCopiedMs);
    connect(copiedTimer, &QTimer::timeout, this, &QeltViewFrame::HideCopiedLabels);
    resultFormat = utils::resultFormat();
    BuildNewQeltsDot();
    ui.but_copy_tsv->hide();
    ui.but_export_csv->hide();
    ui.but_copy_mathml_word->hide();

    ConnectActions();
    UpdateImageButtons();
    HideCopiedLabels();

    LoadFeedbackRecord();
    feedbackRecordTimer = new QTimer(this);
    connect(feedbackRecordTimer, &QTimer::timeout, this, &QeltViewFrame::SaveFeedbackRecord);
    feedbackRecordTimer->start(kFeedbackRecordMs);
    ui.stackLoading->setCurrentIndex(0);
}

QeltViewFrame::~QeltViewFrame()
{
    // The renderer's view is a child of this page: the renderer goes first, with it, so that a render
    // under way cannot answer into a page half gone.
    delete imageCreator;
    imageCreator = nullptr;
    // The wrappers watch their views, which the form's widgets own: let them go first.
    ocrView.reset();
    solverView.reset();
    markdownView.reset();
    dataView.reset();
}

void QeltViewFrame::PrepareForQelt()
{
    // The result view renders every Qelt shown; the remembered tab's view renders it too.
    ocrView->load();
    const QString tab = kKeyLastTabName.get();
    if (tab == QLatin1String("Data"))
        dataView->load();
    else if (tab == QLatin1String("Solver"))
        solverView->load();
}

bool QeltViewFrame::IsResultViewLoading() const
{
    return ocrView->isLoading();
}

bool QeltViewFrame::IsResultOnItsWay() const
{
    if (pendingQelt)
        return true;
    // The Data view sizes the window as the result view does when its tab is the one shown.
    for (const WebViewWrapper* view : {ocrView.get(), dataView.get()}) {
        if (view->isLoading() || view->hasTextOnItsWay())
            return true;
    }
    return shownQelt.hasContent() && !formatsHandled && ocrView->isLoaded();
}

void QeltViewFrame::CheckResultSettled()
{
    if (!IsResultOnItsWay())
        emit ResultSettled();
}

void QeltViewFrame::WhenResultViewReady(QObject* context, std::function<void()> action)
{
    // Whichever comes first runs the action, once; the waiter takes every connection with it.
    auto* waiter = new QObject(context);
    const auto run = [waiter, done = std::make_shared<bool>(false), action = std::move(action)] {
        if (std::exchange(*done, true))
            return;
        waiter->deleteLater();
        action();
    };
    // Arrived, the result is drawn by its view at the size it led to; a view that draws nothing (its
    // window hidden) has nothing to wait for.
    const auto drawn = [this, waiter, run, asked = std::make_shared<bool>(false)] {
        if (std::exchange(*asked, true))
            return;
        // The window takes the sizes the result's rows and views asked for before the view draws at them.
        utils::settleLayouts(window());
        const bool onData = CurrentTabTitle() == QLatin1String("Data");
        WebViewWrapper* view = onData ? dataView.get() : ocrView.get();
        const QWidget* widget = onData ? ui.data_result_view : ui.web;
        if (!view->isLoaded() || !widget->isVisible()) {
            run();
            return;
        }
        view->whenDrawn(waiter, run);
    };
    if (IsResultOnItsWay())
        connect(this, &QeltViewFrame::ResultSettled, waiter, drawn);
    else
        drawn();
    QTimer::singleShot(resultViewWaitMs, waiter, run);
}

int QeltViewFrame::ResultViewWaitMs()
{
    return resultViewWaitMs;
}

void QeltViewFrame::SetResultViewWaitForTesting(int ms)
{
    resultViewWaitMs = ms;
}

void QeltViewFrame::MakeConnections()
{
    connect(ocrView.get(), &WebViewWrapper::loadFinished, this, &QeltViewFrame::OnWebviewLoaded);
    // A load that fails brings nothing; one that ends with nothing to render leaves nothing on its way.
    for (WebViewWrapper* view : {ocrView.get(), dataView.get()})
        connect(view, &WebViewWrapper::loadEnded, this, &QeltViewFrame::CheckResultSettled);
    for (WebViewWrapper* view : {ocrView.get(), dataView.get(), solverView.get()}) {
        connect(
            view, &WebViewWrapper::resultApplied, this,
            [this, view](const ContentInfo& info) { OnWebviewApplied(view, info); }, Qt::QueuedConnection);
        connect(
            view, &WebViewWrapper::getNonLatexFormats, this,
            [this, view](const QJsonObject& obj, quint64 textNumber) {
                OnFormatsReport(view, obj, textNumber);
            },
            Qt::QueuedConnection);
    }
    connect(markdownView.get(), &WebViewWrapper::resultApplied, this, &QeltViewFrame::CenterMarkdownView,
            Qt::QueuedConnection);
    connect(imageCreator, &ImageCreator::imageReady, this, &QeltViewFrame::ImageReadyHandler);

    connect(ui.but_first, &QPushButton::clicked, this, &QeltViewFrame::FirstQelt);
    connect(ui.but_prev, &QPushButton::clicked, this, &QeltViewFrame::PrevQelt);
    connect(ui.but_next, &QPushButton::clicked, this, &QeltViewFrame::NextQelt);
    connect(ui.but_last, &QPushButton::clicked, this, &QeltViewFrame::LastQelt);
    connect(ui.but_ocr_doc_help, &QPushButton::clicked, this, &QeltViewFrame::ShowDocxHelp);
    connect(ui.but_settings, &QPushButton::clicked, this, [this] {
        const QPushButton* button = ui.but_settings;
        emit ShowContextMenu(mapToGlobal(QPoint(button->x(), button->y() + button->height() + 2)));
        ui.but_settings->setFocus(Qt::ActiveWindowFocusReason);
    });
    connect(ui.but_image_option, &QPushButton::clicked, this, [this] { emit PopupSettings(2); });

    connect(ui.but_show_list, &QPushButton::clicked, this, &QeltViewFrame::ButBackClicked);
    connect(ui.tab_scanResult, &QTabWidget::currentChanged, this, &QeltViewFrame::OnTabChanged);
    connect(ui.but_create_qelt, &QPushButton::clicked, this, &QeltViewFrame::CreateQelt);
    connect(ui.but_show_pdf_converter, &QPushButton::clicked, this, &QeltViewFrame::ConvertPDF);
    connect(ui.but_handwrite_qelt, &QPushButton::clicked, this, &QeltViewFrame::HandwriteQelt);
    connect(ui.tab_scanResult, &QTabWidget::tabBarClicked, this, &QeltViewFrame::OnTabBarClicked);
    connect(ui.but_take_qelt, &QPushButton::clicked, this, &QeltViewFrame::MakeScreenshot);
    connect(ui.but_recog_again, &QPushButton::clicked, this, &QeltViewFrame::MakeScreenshot);
    connect(ui.but_upload_qelt, &QPushButton::clicked, this, &QeltViewFrame::UploadQelt);
    connect(ui.showOriginal, &QPushButton::clicked, this, [this] { ShowOriginal(QStringLiteral("OCR")); });
    connect(ui.but_datashoworiginal, &QPushButton::clicked, this,
            [this] { ShowOriginal(QStringLiteral("Data")); });
    connect(ui.but_copy_tsv, &QPushButton::clicked, this, &QeltViewFrame::CopyTsv);
    connect(ui.but_export_csv, &QPushButton::clicked, this, &QeltViewFrame::ExportCsv);
    connect(ui.but_copy_mathml_word, &QPushButton::clicked, this, &QeltViewFrame::CopyMathmlWord);
    connect(ui.but_origincopypng, &QPushButton::clicked, this, &QeltViewFrame::CopyOriginalImage);
    connect(ui.but_originopenpng, &QPushButton::clicked, this, &QeltViewFrame::OpenOriginalImage);
    connect(ui.but_webcopyimage, &QPushButton::clicked, this, &QeltViewFrame::CopyRenderedImage);
    connect(ui.but_webopenimage, &QPushButton::clicked, this, &QeltViewFrame::OpenRenderedImage);

    for (QeltsController* controller : controllersOf(switcher)) {
        connect(controller, &QeltsController::qeltUpdated, this, &QeltViewFrame::OnQeltUpdated);
        QeltsImageController* images = controller->imageController();
        connect(images, &QeltsImageController::imageOriginDownloaded, this,
                &QeltViewFrame::OnOriginImageDownloaded);
        connect(images, &QeltsImageController::imageForListDownloaded, this,
                &QeltViewFrame::OnListImageDownloaded);
    }
}

// A row laid over the tab bar's line: "Tell us why!" at its right end, clear of the tabs.
void QeltViewFrame::BuildTabBarRow()
{
    auto* column = new QVBoxLayout(ui.tab_scanResult);
    column->setContentsMargins(0, 0, 20, 0);
    tabBarVSpacer = new QSpacerItem(20, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    column->addItem(tabBarVSpacer);
    auto* row = new QHBoxLayout;
    column->addLayout(row);
    column->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    tabBarHSpacer = new QSpacerItem(0, 20, QSizePolicy::Fixed, QSizePolicy::Minimum);
    row->addItem(tabBarHSpacer);
    row->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    tellUsWhyButton = new QPushButton(tr("Tell us why!"), ui.tab_scanResult);
    tellUsWhyButton->setStyleSheet(
        QStringLiteral("QPushButton{color: #0093FF; border:none; font-size: 13px; font-style:italic; "
                       "font-weight:500; background:white;}"));
    tellUsWhyButton->hide();
    row->addWidget(tellUsWhyButton);
}

// The dot in the top right corner of "last" that says newer Qelts arrived.
void QeltViewFrame::BuildNewQeltsDot()
{
    auto* across = new QHBoxLayout(ui.but_last);
    across->setContentsMargins(0, 0, 0, 0);
    across->addStretch();
    auto* down = new QVBoxLayout;
    down->setContentsMargins(0, 0, 0, 0);
    newQeltsDot = new QLabel(ui.but_last);
    newQeltsDot->setFixedSize(6, 6);
    newQeltsDot->setStyleSheet(
        QStringLiteral("background: rgb(0, 147, 255); border: none; border-radius: 3px;"));
    down->addWidget(newQeltsDot);
    down->addStretch();
    across->addLayout(down);
    newQeltsDot->hide();
}

QeltsController* QeltViewFrame::Controller() const
{
    return switcher->current();
}

ZorvaneQeltConstPtr QeltViewFrame::ShownInController() const
{
    if (shownQelt.id.isEmpty())
        return nullptr;
    return Controller()->qeltById(shownQelt.id);
}

ZorvaneQeltPtr QeltViewFrame::WithShownContent(const ZorvaneQeltConstPtr& qelt) const
{
    auto copy = std::make_shared<ZorvaneQelt>(*qelt);
    copy->latex = Controller()->latexOf(copy);
    copy->text = Controller()->textOf(copy);
    return copy;
}

void QeltViewFrame::FirstQelt()
{
    const ZorvaneQeltPtr first = Controller()->firstQelt();
    if (first && first->id != shownQelt.id)
        ShowQelt(first);
}

void QeltViewFrame::PrevQelt()
{
    const ZorvaneQeltPtr shown = Controller()->qeltById(shownQelt.id);
    const ZorvaneQeltPtr previous = shown ? Controller()->previousQelt(shown) : nullptr;
    if (previous && previous->id != shownQelt.id)
        ShowQelt(previous);
}

void QeltViewFrame::NextQelt()
{
    const ZorvaneQeltPtr shown = Controller()->qeltById(shownQelt.id);
    const ZorvaneQeltPtr next = shown ? Controller()->nextQelt(shown) : nullptr;
    if (next && next->id != shownQelt.id)
        ShowQelt(next);
}

void QeltViewFrame::LastQelt()
{
    const ZorvaneQeltPtr last = Controller()->lastQelt();
    if (last && last->id != shownQelt.id)
        ShowQelt(last);
}

QString QeltViewFrame::currentQeltId() const
{
    return shownQelt.id;
}

void QeltViewFrame::InsertTab(QWidget* page, int index, const char* title)
{
    ui.tab_scanResult->insertTab(index, page, QCoreApplication::translate("LatexResultDialog", title));
}

void QeltViewFrame::RemoveTab(QWidget* page)
{
    const int index = ui.tab_scanResult->indexOf(page);
    if (index >= 0)
        ui.tab_scanResult->removeTab(index);
}

int QeltViewFrame::TabIndexOf(const QString& title) const
{
    for (int i = 0; i < ui.tab_scanResult->count(); ++i) {
        if (ui.tab_scanResult->tabText(i) == title)
            return i;
    }
    return -1;
}

QString QeltViewFrame::CurrentTabTitle() const
{
    return ui.tab_scanResult->tabText(ui.tab_scanResult->currentIndex());
}
