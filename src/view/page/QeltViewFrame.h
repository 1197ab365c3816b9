#pragma once

#include "api/Result.h"
#include "core/Preset.h"
#include "core/ResultFormat.h"
#include "core/userState.h"
#include "model/ZorvaneQelt.h"
#include "view/render/ContentInfo.h"
#include "view/render/PageFormats.h"
#include "view/rows/ResultRow.h"

#include "ui_LatexResultDialog.h"

#include <QFrame>
#include <QHash>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QMargins>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class ChatSession;
class DocxExporter;
class ImageCreator;
class QBoxLayout;
class QDialog;
class QHBoxLayout;
class QLabel;
class QLayout;
class QMovie;
class QPushButton;
class QSpacerItem;
class QTimer;
class QeltChatItemFrame;
class QeltControllerSwitch;
class QeltsController;
class RatingFlow;
class Solver;
class WebViewWrapper;

using ZorvaneQeltConstPtr = std::shared_ptr<const ZorvaneQelt>;

// Page 1 of the main window: one Qelt of the current controller, rendered by the editor page, with its
// formats as rows on the OCR, Data and Original tabs, navigation through the controller's Qelts, copies
// to the clipboard by click or key, image and DOCX export, a solver, a chat and recognition feedback. One
// class over several sources by concern: construction and wiring here, showing a Qelt (_show), the rows
// (_rows), copies and saving (_clipboard), keyboard navigation (_keys), the DOCX export and the solver
// (_actions), the chat (_chat), the feedback and deletion (_feedback); the service actions' work is done by
// collaborators in view/docx, view/solver, view/chat and view/feedback. GUI thread only.
class QeltViewFrame : public QFrame
{
    Q_OBJECT

public:
    // Makes the mistake-report dialog for a Qelt: modal, run with exec, Accepted once it has sent the
    // report itself. The page owns and deletes what it returns.
    using ReportDialogFactory = std::function<QDialog*(QWidget* parent, const QString& qeltId)>;

    // Throws std::runtime_error when switcher is null.
    QeltViewFrame(QeltControllerSwitch* switcher, QWidget* parent = nullptr);
    ~QeltViewFrame() override;

    // Navigation through the current controller's Qelts; nothing when the target is missing or shown.
    void FirstQelt();
    void PrevQelt();
    void NextQelt();
    void LastQelt();

    // A Qelt is on its way (a capture or an upload began): the views that will show it load their page
    // now, so that the load overlaps the upload.
    void PrepareForQelt();
    // Whether the view that shows every Qelt is loading its page (a capture right after the start).
    bool IsResultViewLoading() const;
    // Whether the Qelt given last is still on its way to the page: a result view loading its page or
    // rendering it, or its rows waiting for the formats the rendering reports.
    bool IsResultOnItsWay() const;
    // Runs `action` once the page shows the Qelt given it at the size its result asks for, drawn by its
    // view at that size: once nothing is on its way any more (a page that failed to load brings nothing)
    // and, on a shown page, the view has drawn; after ResultViewWaitMs at most. At once when the page is
    // hidden and nothing is on its way. Nothing runs once `context` is gone.
    void WhenResultViewReady(QObject* context, std::function<void()> action);
    static int ResultViewWaitMs();
    static void SetResultViewWaitForTesting(int ms);
    // Showing a Qelt.
    void ShowQelt(ZorvaneQeltConstPtr qelt);
    void FillQelt(const ZorvaneQeltConstPtr& qelt);
    void OnWebviewLoaded();
    void OnQeltRemoved(QString removedId, QString nextId);
    // The result of the text `view` rendered; stale when the view has been handed a newer text since.
    void OnWebviewApplied(WebViewWrapper* view, ContentInfo info);
    void CenterMarkdownView(ContentInfo info);
    void OnNonLatexFormats(QJsonObject obj);
    void UpdateTabs(bool hasOriginal, bool hasContent);
    void UpdateIndexLabel(const ZorvaneQeltConstPtr& qelt);
    void UpdateConfidence(double confidence);
    void OnQeltsCountChanged();
    void SetResultFormat(const utils::ResultFormat& rf);
    void ShowOriginal(const QString& tab);
    void ShowOriginal(const QString& tab, bool animate);
    void SelectTab(int index, bool setCurrent, bool remember);
    void SelectRememberedRow(int list);
    void UpdateTabBarSpacers();
    QString delimiterLabel(int rowFormat) const;
    void StyleRowGroup(QList<ResultRow>& rows, int first, int last);
    void AddOcrRows(const QStringList& texts, bool smiles);
    static void ClearLayout(QLayout* layout);
    QString currentQeltId() const;

    // The rows.
    void SetFormats(QList<bool> flags);
    void BuildOcrFormatRows();
    void BuildImageUrlRows();
    void BuildDataFormatRows();

    // Copies, images and saving.
    void CopyTsv();
    void CopyMathmlWord();
    void CopyRenderedImage();
    void OpenRenderedImage();
    bool RenderImage();
    void CopyImageToClipboard(const QImage& image);
    QString SaveImage(const QImage& image, int fileType);
    void CopyOriginalImage();
    void OpenOriginalImage();
    void OnOriginImageDownloaded(QString qeltId, QString url, QString file_name);
    void OnListImageDownloaded(QString qeltId);
    void RescaleImages();
    void UpdateImageButtons();
    void ExportCsv();
    void OnDeactivated();
    void LoadFeedbackRecord();
    void SaveFeedbackRecord();

    // DOCX export.
    void OpenDocx();
    QString FreeDocxName();
    void ShowDocxHelp();
    void ShowDataRowHelp();

    // The solver.
    void SolveLatex(const ZorvaneQeltConstPtr& qelt);
    void StartSolve(const ZorvaneQeltConstPtr& qelt);
    void CopySolution();
    void ShowSolverHelp();

    // The chat about the shown Qelt.
    void SendChatMessage();
    void ClearChat();
    void LoadChatHistory();
    void AddQeltChatItem();
    void UpdateChatPixmaps();
    void OnChatMessageReply(ZorvaneAPI::ResultPtr result);
    void OnChatHistoryReply(ZorvaneAPI::ResultPtr result);
    void OnClearChatReply(ZorvaneAPI::ResultPtr result);

    // Recognition feedback and deletion.
    void ThumbsUp();
    void ThumbsDown();
    void TellUsWhy();
    void SendFeedbackNow();
    void OpenReportDialog();
    void ShowImprovePrompt();
    void AnimateThumb(QPushButton* button);
    void UpdateFeedbackButtons();
    void DeleteQelt();
    // The report dialog lives above the view page; whoever builds the page hands its maker in. Without
    // one, a report asked for counts as cancelled.
    void setReportDialogFactory(ReportDialogFactory factory);

    // Tabs.
    void OnTabChanged(int index);
    void OnTabBarClicked(int index);
    void ShowContentInView(WebViewWrapper* view, const ZorvaneQeltConstPtr& qelt, bool withWidth);
    void HideCopiedLabels();
    void OnQeltUpdated(QString qeltId);

    // Keyboard navigation: lists 0 OCR, 1 Data, 2 Original; direction +1 or -1.
    void SelectFormat(int list, int index, int direction);
    void OnNextRowKey();
    void OnPrevRowKey();
    void SelectNextTab(int from, bool remember);
    void SelectPrevTab(int from, bool remember);
    void SelectFirstRowOfTab();
    void SelectLastRowOfTab();
    void OnEnterKey();

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void ButBackClicked();
    void CreateQelt();
    void ConvertPDF();
    void HandwriteQelt();
    void SearchClicked(QString text);
    void WantRemoveQelt(QString qelt_id);
    void MakeScreenshot();
    void UploadQelt();
    void EditQeltText(QString qelt_id);
    void EditQeltLatex(QString qelt_id);
    // The receiver adapts the window and clears the flag.
    void UpdateSize(QSize oldSize, QSize newSize, bool* handled);
    void ShowContextMenu(QPoint pos);
    void PopupSettings(int tabIndex);
    void SetFixedWindowSize(int width, int height);
    void SetFixedWindowSize(int width);
    void SetFixedWindowSize();
    void ChangeWindowSize(int deltaWidth, int deltaHeight);
    // Nothing is on its way to the page any more (IsResultOnItsWay).
    void ResultSettled();

public slots:
    void ImageReadyHandler(QImage image);
    void RetrySolve();

private:
    // Shows a Qelt; `copies`: the user asked for it, and the remembered entry it selects is copied too.
    // A change made elsewhere (a sync, a deletion, new settings) only refreshes the page.
    void PresentQelt(ZorvaneQeltConstPtr qelt, bool copies);
    // The remembered entry `index` of `list` selected again once its rows are rebuilt: copied when the
    // user's own action rebuilt them, only focused when a change made elsewhere did.
    void SelectRememberedEntry(int list, int index);
    // The per-Qelt state back to its start: no rows, no page formats, no sizes.
    void ResetForQelt();
    // The shown Qelt as the current controller holds it; null when it holds no such Qelt.
    ZorvaneQeltConstPtr ShownInController() const;
    QeltsController* Controller() const;
    // A copy of `qelt` with the content the controller shows: a pending local edit wins.
    ZorvaneQeltPtr WithShownContent(const ZorvaneQeltConstPtr& qelt) const;
    // The formats report of `view` for the text it rendered as number `textNumber`.
    void OnFormatsReport(WebViewWrapper* view, const QJsonObject& obj, quint64 textNumber);
    // ResultSettled, when nothing is on its way any more.
    void CheckResultSettled();
    void MakeConnections();
    void BuildTabBarRow();
    void BuildNewQeltsDot();
    // The controls and connections of the DOCX export, the solver, the chat and the feedback.
    void ConnectActions();
    void InsertTab(QWidget* page, int index, const char* title);
    void RemoveTab(QWidget* page);
    int TabIndexOf(const QString& title) const;
    QString CurrentTabTitle() const;
    // The row's badge shown, the badge timer restarted.
    void ShowCopied(QLabel* badge);
    void PutTextOnClipboard(const QString& text);
    // The selection of `list` becomes its remembered entry, unless the page itself chose it in place of
    // a remembered entry that the shown Qelt does not offer.
    void StoreRowMemory(int list);
    // The page watches the row's field and takes its buttons; `position` is the row's index in its list's
    // index space.
    void WireRowField(ResultRow& row, int list, int position);
    // Rows first..last as one styled group under `header` (none when null); returns the header's layout.
    QHBoxLayout* AddRowGroup(QBoxLayout* target, QList<ResultRow>& rows, int first, int last,
                             const QString& header, const QMargins& headerMargins);
    void ScrollDataTo(int index);
    // The remembered entry of the current tab selected again, once its rows are rebuilt.
    void SelectRememberedRowOfCurrentTab();
    // The service actions' collaborators and controls; a rating and a report are for the Qelt clicked.
    void ConnectDocx();
    void ConnectSolver();
    void ConnectChat();
    void ConnectFeedback();
    void OnRatingSettled(const QString& qeltId, int rating);
    void OpenReportDialog(const QString& qeltId);
    void AddChatBubble(QWidget* bubble);
    QPixmap ChatImage() const;
    void GoToNextTab();
    void GoToPrevTab();
    void ApplyImageLabel(QLabel* label);
    // The most height the window can give a result view: the screen's room below the title bar less what
    // the rest of the window needs.
    int RoomForView(QWidget* view);
    // A result view held at least `height` high while the page is shown; HoldResultViews(false) lets them
    // all go while it is not, so that the window's other pages are not held to the result's height.
    void HoldResultView(QWidget* view, int height);
    void HoldResultViews(bool shown);

    Ui_LatexResultDialog ui;
    QeltControllerSwitch* switcher;
    std::unique_ptr<WebViewWrapper> ocrView;
    std::unique_ptr<WebViewWrapper> solverView;
    std::unique_ptr<WebViewWrapper> markdownView;
    std::unique_ptr<WebViewWrapper> dataView;
    ImageCreator* imageCreator = nullptr;

    ZorvaneQelt shownQelt;
    ZorvaneQeltConstPtr pendingQelt;
    // Whether the rows now being filled were asked for by the user (see PresentQelt), and whether the
    // waiting Qelt was.
    bool copyRemembered = false;
    bool pendingCopies = false;
    // The page, not the user, is selecting the remembered entry: whatever it falls back to is not stored.
    bool selectingRemembered = false;
    QSize contentSize{-1, -1};
    bool ocrSized = false;
    bool dataSized = false;
    bool solverSized = false;
    utils::ResultFormat resultFormat;

    // The selection on each tab, which the keys move from; the remembered entries (the user's own last
    // choices) are in the settings and may differ from it where the shown Qelt lacks one.
    int ocrRow = 0;
    int dataRow = 0;
    int originalRow = 0;
    int ocrRowCount = -1;
    int ocrIndexCount = 3;
    int originalRowCount = -1;
    int lastSizedOcrRowCount = -1;
    int lastQeltCount = -1;
    bool formatsHandled = false;
    bool imageCopyPending = false;
    bool imageOpenPending = false;
    QString lastCopiedFormat;
    QString lastCopiedDelimiter;
    int lastCopiedSource = 0;

    QList<ResultRow> ocrRows;
    QList<ResultRow> dataRows;
    QList<ResultRow> originalRows;
    PageFormats pageFormats;
    QList<QStringList> dataGroups;
    // Per view, the number of the text that shows the shown Qelt's content; only its formats are taken.
    QHash<const WebViewWrapper*, quint64> formatTickets;
    // What each view was given last.
    struct GivenText
    {
        bool latex = false;
        bool withWidth = false;
        QString content;
        quint64 number = 0;

        bool sameAs(const GivenText& other) const
        {
            return latex == other.latex && withWidth == other.withWidth && content == other.content;
        }
    };
    QHash<const WebViewWrapper*, GivenText> givenTexts;
    QHash<QWidget*, int> heldViewHeights;

    Preset preset;
    QPixmap originalPixmap;
    QPixmap listPixmap;

    QPushButton* tellUsWhyButton = nullptr;
    QSpacerItem* tabBarHSpacer = nullptr;
    QSpacerItem* tabBarVSpacer = nullptr;
    QLabel* newQeltsDot = nullptr;
    QMovie* loadingMovie = nullptr;
    QTimer* copiedTimer = nullptr;
    QTimer* feedbackRecordTimer = nullptr;
    QPointer<QTimer> rememberedRowTimer;

    // The DOCX export.
    QString downloadDir;
    DocxExporter* docxExporter = nullptr;
    // The solver.
    Solver* solver = nullptr;
    QString solvedQeltId;
    QString solutionText;
    // The chat.
    ChatSession* chatSession = nullptr;
    QPointer<QeltChatItemFrame> pendingBubble;
    bool stickToBottom = true;
    // The feedback.
    RatingFlow* ratingFlow = nullptr;
    ReportDialogFactory reportDialogFactory;
    QPointer<QDialog> reportDialog;
};
