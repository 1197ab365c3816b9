// Showing a Qelt: the wait for the view, the per-Qelt reset, the tabs, the index and confidence, the sizes
// that the editor page's reports give, and following changes made elsewhere.

#include "api/APIHandler.h"
#include "api/CreateQeltTiming.h"
#include "core/settings.h"
#include "core/ui/screens.h"
#include "core/ui/widgets.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "view/bridge/WebViewWrapper.h"
#include "view/page/QeltViewFrame.h"
#include "view/page/viewGeometry.h"
#include "view/rows/RowFormat.h"

#include <QDebug>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QStyle>
#include <QTabBar>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const QString kOcr = QStringLiteral("OCR");
const QString kData = QStringLiteral("Data");
const QString kOriginal = QStringLiteral("Original");
const QString kSolver = QStringLiteral("Solver");
constexpr int kRowWindowHeight = 40;

bool sameConfidence(double a, double b)
{
    return a == b || std::abs(a - b) * 1e12 <= std::min(std::abs(a), std::abs(b));
}

} // namespace

void QeltViewFrame::ShowQelt(ZorvaneQeltConstPtr qelt)
{
    PresentQelt(std::move(qelt), true);
}

void QeltViewFrame::PresentQelt(ZorvaneQeltConstPtr qelt, bool copies)
{
    if (!qelt)
        return;
    if (ocrView->isLoaded() && ocrView->isApplying()) {
        qInfo().noquote().nospace() << "[QeltViewFrame] Wait prev qelt: " << shownQelt.id;
        // A refresh of the Qelt the user asked for still leaves it the user's.
        pendingCopies = copies || (pendingCopies && pendingQelt && pendingQelt->id == qelt->id);
        pendingQelt = qelt;
        return;
    }
    const ZorvaneQeltPtr copy = WithShownContent(qelt);
    if (copy->id == shownQelt.id && copy->latex == shownQelt.latex && copy->text == shownQelt.text &&
        copy->originalImageUrl == shownQelt.originalImageUrl &&
        sameConfidence(copy->confidence, shownQelt.confidence))
        return;
    shownQelt = *copy;
    copyRemembered = copies;
    ResetForQelt();
    HideCopiedLabels();
    UpdateFeedbackButtons();
    FillQelt(copy);
    LoadChatHistory();

    // Right after a recognition the record is complete and its event goes out, once.
    CreateQeltTiming& timing = CreateQeltTiming::instance();
    timing.renderedStamp = CreateQeltTiming::now();
    APIHandler::createQeltEvent(timing);
    timing.reset();
}

void QeltViewFrame::ResetForQelt()
{
    ocrRowCount = -1;
    originalRowCount = -1;
    ocrIndexCount = 3;
    formatsHandled = false;
    contentSize = QSize(-1, -1);
    ui.but_copy_tsv->hide();
    ui.but_export_csv->hide();
    ui.but_copy_mathml_word->hide();
    ui.frame_resultview->setMinimumHeight(50);
    ui.stackLoading->setCurrentIndex(0);
    // Nothing of the Qelt shown before may be offered, copied or exported for this one.
    pageFormats = PageFormats();
    dataGroups.clear();
    formatTickets.clear();
    ClearLayout(ui.latex_result_layout);
    ocrRows.clear();
    ClearLayout(ui.scrollAreaLayout);
    dataRows.clear();
    ClearLayout(ui.url_result_layout);
    originalRows.clear();
}

void QeltViewFrame::FillQelt(const ZorvaneQeltConstPtr& qelt)
{
    if (!qelt)
        return;
    QeltsImageController* images = Controller()->imageController();
    const ImageEntry original = images->originalImage(qelt->id, qelt->originalImageUrl, true);
    originalPixmap = original.isMissing() ? QPixmap() : QPixmap(original.file);
    const ImageEntry rendered = images->renderedListImage(qelt->id, qelt->renderedImageUrl, true);
    listPixmap = rendered.isMissing() ? QPixmap() : QPixmap(rendered.file);
    UpdateChatPixmaps();
    UpdateImageButtons();

    const bool hasContent = qelt->hasContent();
    const bool hasOriginal = !qelt->originalImageUrl.isEmpty();
    if (hasContent) {
        ShowContentInView(ocrView.get(), qelt, false);
        // SMILES and tables wait for the formats the editor page derives, unless they are known already:
        // the shown Qelt filled again (new delimiters) gets its rows at once, like any other.
        const QString text = WithShownContent(qelt)->text;
        if (formatsHandled || (!ZorvaneQelt::containsSmiles(text) && !ZorvaneQelt::isTable(text)))
            BuildOcrFormatRows();
    }
    if (hasOriginal)
        BuildImageUrlRows();
    UpdateTabs(hasOriginal, hasContent);
    UpdateIndexLabel(qelt);
    if (hasContent) {
        ui.conf_stack->setCurrentIndex(0);
        UpdateConfidence(qelt->confidence);
    } else {
        ui.conf_stack->setCurrentIndex(1);
    }
}

void QeltViewFrame::OnWebviewLoaded()
{
    if (const ZorvaneQeltConstPtr shown = ShownInController())
        PresentQelt(shown, false);
}

void QeltViewFrame::OnQeltRemoved(QString removedId, QString nextId)
{
    if (removedId.isEmpty() || removedId != shownQelt.id)
        return;
    const ZorvaneQeltPtr next = nextId.isEmpty() ? nullptr : Controller()->qeltById(nextId);
    if (!next) {
        if (nextId.isEmpty())
            shownQelt = ZorvaneQelt();
        return;
    }
    const ZorvaneQeltPtr copy = WithShownContent(next);
    shownQelt = *copy;
    copyRemembered = false;
    ResetForQelt();
    HideCopiedLabels();
    UpdateFeedbackButtons();
    FillQelt(copy);
}

void QeltViewFrame::OnWebviewApplied(WebViewWrapper* view, ContentInfo info)
{
    // The result travels queued: the view may have started a newer text meanwhile (the shown Qelt's, or
    // the same one at another width). Only that text's result tells the page's size; it follows.
    if (view && view->isApplying())
        return;
    const QString tab = CurrentTabTitle();
    bool* sized = tab == kOcr      ? &ocrSized
                  : tab == kData   ? &dataSized
                  : tab == kSolver ? &solverSized
                                   : nullptr;
    if (sized) {
        if (*sized) {
            CheckResultSettled();
            return;
        }
        *sized = true;
    }
    const ZorvaneQeltConstPtr shown = ShownInController();
    const bool hasOriginal = shown && !shown->originalImageUrl.isEmpty();
    const bool showSetting = kKeyOriginalShow.get();
    QSize oldSize(-1, -1);
    if (tab == kOcr)
        oldSize = ui.web->size();
    else if (tab == kData)
        oldSize = ui.data_result_view->size();

    QLabel* label = tab == kOcr ? ui.lb_originOCR : tab == kData ? ui.lb_origindata : nullptr;
    const viewGeometry::ContentSizing sizing = viewGeometry::contentSizing(
        info, utils::screenGeometry(this).width(), WebViewWrapper::defaultFontSize());
    contentSize = sizing.size;
    // The view itself holds the content whole, as far as the window can grow; the window follows below.
    if (QWidget* shownView = tab == kOcr ? ui.web : tab == kData ? ui.data_result_view : nullptr)
        HoldResultView(shownView, viewGeometry::viewHeight(sizing, RoomForView(shownView)));
    if (info.error) {
        qWarning().noquote() << "[QeltViewFrame] OnWebviewApplied failed";
    } else {
        ui.lb_origin_image->resize(ui.lb_origin_image->width(), contentSize.height());
        if (label) {
            QFrame* line = tab == kOcr ? ui.line_13 : ui.line_10;
            QLayout* layout = tab == kOcr ? ui.horizontalLayout_12 : ui.horizontalLayout_5;
            const int maxImageHeight =
                std::min(utils::availableScreenGeometry(this).height() / 8, contentSize.height());
            if (showSetting && hasOriginal) {
                oldSize.rheight() += label->height();
                line->show();
            }
            label->setMinimumHeight(maxImageHeight);
            label->setMaximumHeight(maxImageHeight);
            const QMargins margins = layout->contentsMargins();
            oldSize.rheight() += margins.top() + margins.bottom();
            layout->setContentsMargins(margins.left(), sizing.pad + 6, margins.right(), sizing.pad);
        }
    }

    if (label) {
        if (hasOriginal) {
            label->setPixmap(
                originalPixmap.isNull()
                    ? QPixmap()
                    : originalPixmap.scaled(label->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
            ShowOriginal(tab, false);
            if (showSetting)
                contentSize.rheight() += label->height();
        }
        emit UpdateSize(oldSize, contentSize, sized);
    } else if (tab == kSolver) {
        ui.frame_resultview->setFixedHeight(std::min(contentSize.height() + 10, 250));
        solverSized = false;
    }

    if (pendingQelt)
        PresentQelt(std::exchange(pendingQelt, nullptr), std::exchange(pendingCopies, false));
    CheckResultSettled();
}

void QeltViewFrame::HoldResultView(QWidget* view, int height)
{
    heldViewHeights[view] = height;
    // Only while the page is shown: the window's page stack takes the largest least size of its pages.
    view->setMinimumHeight(isHidden() ? 0 : height);
}

void QeltViewFrame::HoldResultViews(bool shown)
{
    for (auto held = heldViewHeights.cbegin(); held != heldViewHeights.cend(); ++held)
        held.key()->setMinimumHeight(shown ? held.value() : 0);
    if (shown)
        return;
    // A hidden page's layouts keep what they measured, and pass no change up to the window themselves:
    // the page's least size, which its layout sets, is taken anew here.
    for (QLayout* layout : findChildren<QLayout*>())
        layout->invalidate();
    for (QWidget* widget : heldViewHeights.keys()) {
        for (; widget && widget != this; widget = widget->parentWidget())
            widget->updateGeometry();
    }
    if (layout())
        setMinimumSize(layout()->totalMinimumSize());
    if (QWidget* holder = parentWidget())
        holder->updateGeometry();
}

int QeltViewFrame::RoomForView(QWidget* view)
{
    QWidget* top = window();
    const int others = top->minimumSizeHint().height() - view->minimumHeight();
    const int titleBar = top->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return utils::availableScreenGeometry(this).height() - titleBar - others;
}

void QeltViewFrame::CenterMarkdownView(ContentInfo info)
{
    if (info.error)
        return;
    const int x = (info.width - ui.markdown_view->width()) / 2;
    markdownView->runJavaScript(QStringLiteral("window.scrollTo(%1, %2);").arg(x).arg(0), {});
}

void QeltViewFrame::UpdateTabs(bool hasOriginal, bool hasContent)
{
    QWidget* before = ui.tab_scanResult->currentWidget();
    {
        // The tab handler runs once, for the tab chosen at the end, not for each tab passed on the way.
        const QSignalBlocker quiet(ui.tab_scanResult);
        if (hasContent) {
            if (TabIndexOf(kOcr) < 0)
                InsertTab(ui.tab_result, 0, "OCR");
            if (TabIndexOf(kData) < 0)
                InsertTab(ui.tab_data, 1, "Data");
        } else {
            RemoveTab(ui.tab_result);
            RemoveTab(ui.tab_data);
        }
        if (!hasOriginal)
            RemoveTab(ui.tab_original);
        else if (TabIndexOf(kOriginal) < 0)
            InsertTab(ui.tab_original, hasContent ? 2 : 0, "Original");
        if (!hasContent)
            RemoveTab(ui.tab_solver);
        else if (TabIndexOf(kSolver) < 0)
            InsertTab(ui.tab_solver, int(hasOriginal) + 3, "Solver");
    }
    UpdateTabBarSpacers();
    int target = -1;
    if (hasContent) {
        const QString last = kKeyLastTabName.get();
        target = TabIndexOf(last.isEmpty() ? kOcr : last);
    } else {
        target = TabIndexOf(kOriginal);
    }
    const int current = ui.tab_scanResult->currentIndex();
    if (target >= 0 && target != current)
        ui.tab_scanResult->setCurrentIndex(target);
    else if (target >= 0 || ui.tab_scanResult->currentWidget() != before)
        OnTabChanged(current);
}

void QeltViewFrame::UpdateIndexLabel(const ZorvaneQeltConstPtr& qelt)
{
    if (!qelt)
        return;
    const auto [index, count] = Controller()->indexOf(qelt->id, qelt->created_at);
    ui.lb_index->setText(QStringLiteral("%1 / %2").arg(index + 1).arg(count));
    const bool newest = index == count - 1;
    ui.but_next->setEnabled(!newest);
    ui.but_last->setEnabled(!newest);
    ui.but_prev->setEnabled(index != 0);
    ui.but_first->setEnabled(index != 0);
    if (newest)
        newQeltsDot->hide();
}

void QeltViewFrame::UpdateConfidence(double confidence)
{
    ui.confidence_progress->setStyleSheet(
        QStringLiteral("QProgressBar {  border: 1px solid %2;  border-radius: 5px;  background: %2;}"
                       "QProgressBar::chunk {  background-color: %1;  width: 10px;}")
            .arg(utils::confidenceColor(confidence).name(), QColor(0xE1, 0xE0, 0xE5).name()));
    // Truncated, not rounded; a value beyond the bar (or none at all) is held to its ends.
    const double percent = std::isfinite(confidence) ? qBound(0.0, confidence * 100, 100.0) : 0.0;
    ui.confidence_progress->setValue(int(percent));
}

void QeltViewFrame::OnQeltsCountChanged()
{
    const int count = int(Controller()->count());
    if (count == 0) {
        lastQeltCount = 0;
        emit ButBackClicked();
        return;
    }
    if (lastQeltCount != -1 && count > lastQeltCount)
        newQeltsDot->show();
    lastQeltCount = count;
    if (const ZorvaneQeltConstPtr shown = ShownInController())
        UpdateIndexLabel(shown);
}

void QeltViewFrame::SetResultFormat(const utils::ResultFormat& rf)
{
    resultFormat = rf;
    // Hidden too: the rows are what the window shows when it comes back, and what the keys copy.
    if (const ZorvaneQeltConstPtr shown = ShownInController()) {
        copyRemembered = false;
        FillQelt(WithShownContent(shown));
    }
}

void QeltViewFrame::ShowOriginal(const QString& tab)
{
    kKeyOriginalShow.set(!kKeyOriginalShow.get());
    ShowOriginal(tab, true);
}

void QeltViewFrame::ShowOriginal(const QString& tab, bool animate)
{
    QPushButton* button = nullptr;
    QLabel* label = nullptr;
    QFrame* line = nullptr;
    QFrame* counted = nullptr;
    if (tab == kOcr) {
        ui.showOriginal->show();
        button = ui.showOriginal;
        label = ui.lb_originOCR;
        line = counted = ui.line_13;
    } else if (tab == kData) {
        ui.dataShowOriginalFrame->show();
        ui.line_9->show();
        button = ui.but_datashoworiginal;
        label = ui.lb_origindata;
        line = ui.line_10;
        counted = ui.line_9;
    } else {
        return;
    }
    const bool wasShown = !label->isHidden();
    const int delta = label->height() + counted->height();
    if (kKeyOriginalShow.get()) {
        line->show();
        label->show();
        button->setIcon(QIcon(QStringLiteral(":/images/Hide.svg")));
        button->setText(tr("Hide Original "));
        if (animate && !wasShown)
            emit ChangeWindowSize(0, delta);
    } else {
        label->hide();
        line->hide();
        button->setIcon(QIcon(QStringLiteral(":/images/Show.svg")));
        button->setText(tr("Show Original "));
        if (animate && wasShown)
            emit ChangeWindowSize(0, -delta);
    }
}

void QeltViewFrame::SelectTab(int index, bool setCurrent, bool remember)
{
    if (index < 0 || index >= ui.tab_scanResult->count())
        return;
    if (setCurrent)
        ui.tab_scanResult->setCurrentIndex(index);
    if (remember)
        kKeyLastTabName.set(ui.tab_scanResult->tabText(index));
}

void QeltViewFrame::SelectRememberedRow(int list)
{
    const utils::ROW_MEMORY memory = utils::rowMemory();
    ocrRow = memory.ocrRow;
    dataRow = memory.dataRow;
    originalRow = memory.originalRow;
    if (list == 2) {
        SelectRememberedEntry(2, originalRow < 4 ? originalRow : 0);
    } else if (list == 1) {
        const int row = dataRow < dataRows.size() ? dataRow : 0;
        ScrollDataTo(row);
        SelectRememberedEntry(1, row);
    } else if (list == 0) {
        // Replaced, not deleted: this may run inside the earlier timer's own timeout.
        if (rememberedRowTimer) {
            rememberedRowTimer->stop();
            rememberedRowTimer->deleteLater();
        }
        rememberedRowTimer = new QTimer(this);
        QTimer* timer = rememberedRowTimer;
        connect(timer, &QTimer::timeout, this, [this, timer] {
            if (!formatsHandled)
                return;
            timer->stop();
            SelectRememberedEntry(0, ocrRow >= ocrIndexCount ? 3 : ocrRow);
        });
        timer->start(100);
    }
}

void QeltViewFrame::SelectRememberedEntry(int list, int index)
{
    if (copyRemembered) {
        // What the shown Qelt offers in place of a remembered entry it lacks (a table has no MS Word
        // copy) is copied, and stays this Qelt's alone: the next formula copies MS Word again.
        const QScopedValueRollback<bool> byThePage(selectingRemembered, true);
        SelectFormat(list, index, +1);
        return;
    }
    const QList<ResultRow>& rows = list == 0 ? ocrRows : list == 1 ? dataRows : originalRows;
    const int row = index - (list == 0 ? 3 : list == 2 ? 1 : 0);
    if (row < 0 || row >= rows.size())
        return;
    rows.at(row).lineEdit->setFocus(Qt::OtherFocusReason);
    (list == 0 ? ocrRow : list == 1 ? dataRow : originalRow) = index;
}

void QeltViewFrame::SelectRememberedRowOfCurrentTab()
{
    const QString tab = CurrentTabTitle();
    if (tab == kOcr) {
        SelectRememberedRow(0);
    } else if (tab == kData) {
        SelectRememberedRow(1);
    } else if (tab == kOriginal) {
        originalRow = utils::rowMemory().originalRow;
        SelectRememberedEntry(2, originalRow < 4 ? originalRow : 0);
    }
}

void QeltViewFrame::ScrollDataTo(int index)
{
    QScrollBar* bar = ui.scrollArea->verticalScrollBar();
    const int count = dataRows.size();
    bar->setValue(count <= 1 ? bar->minimum() : viewGeometry::scrollValueFor(index, count, bar->maximum()));
}

void QeltViewFrame::UpdateTabBarSpacers()
{
    const QTabBar* bar = ui.tab_scanResult->tabBar();
    int width = 20;
    for (int i = 0; i < bar->count(); ++i)
        width += bar->tabRect(i).width();
    tabBarHSpacer->changeSize(width, 20, QSizePolicy::Fixed, QSizePolicy::Minimum);
    const int tabHeight = bar->count() > 0 ? bar->tabRect(0).height() : 0;
    tabBarVSpacer->changeSize(20, std::max(0, (tabHeight - tellUsWhyButton->height()) / 2),
                              QSizePolicy::Minimum, QSizePolicy::Fixed);
    if (QLayout* layout = ui.tab_scanResult->layout())
        layout->invalidate();
}

QString QeltViewFrame::delimiterLabel(int rowFormat) const
{
    switch (rowFormat) {
    case Text:
        return resultFormat.inlineStyle == 0   ? QStringLiteral("$")
               : resultFormat.inlineStyle == 1 ? QStringLiteral("\\(")
                                               : QString();
    case LatexBlock: {
        const QStringList labels{QStringLiteral("$$"), QStringLiteral("\\["), QStringLiteral("equation*"),
                                 QStringLiteral("align*")};
        return labels.value(resultFormat.blockStyle);
    }
    case LatexBlockNumbered:
        return QStringList{QStringLiteral("equation"), QStringLiteral("align")}.value(
            resultFormat.numberedStyle);
    case LatexBlockCustom:
        return QStringLiteral("Start: %1, End: %2")
            .arg(resultFormat.customOpenDelimiter, resultFormat.customCloseDelimiter);
    default:
        return QString();
    }
}

void QeltViewFrame::OnTabChanged(int index)
{
    ui.dataFrame->setMinimumHeight(0);
    ui.dataFrame->setMaximumHeight(0);
    const QString tab = ui.tab_scanResult->tabText(index);
    if (tab == kOcr || tab == kData || tab == kOriginal)
        ui.conf_stack->show();
    else if (tab == kSolver)
        ui.conf_stack->hide();
    const ZorvaneQeltConstPtr qelt = ShownInController();
    if (!qelt)
        return;
    const bool hasOriginal = !qelt->originalImageUrl.isEmpty();
    if (tab == kOcr && qelt->hasContent()) {
        ui.lb_originOCR->setMinimumHeight(0);
        ui.lb_originOCR->setMaximumHeight(0);
        ui.line_13->hide();
        if (!hasOriginal) {
            ui.lb_originOCR->hide();
            ui.line_13->hide();
            ui.showOriginal->hide();
        }
        ShowContentInView(ocrView.get(), qelt, !qelt->hasLatex());
        if (lastSizedOcrRowCount >= 1 && lastSizedOcrRowCount != ocrRowCount)
            emit ChangeWindowSize(0, (ocrRowCount - lastSizedOcrRowCount) * kRowWindowHeight);
        lastSizedOcrRowCount = ocrRowCount;
        SelectRememberedRow(0);
    } else if (tab == kData && qelt->hasContent()) {
        ui.dataFrame->setMinimumHeight(200);
        ui.dataFrame->setMaximumHeight(200);
        ui.lb_origindata->setMinimumHeight(0);
        ui.lb_origindata->setMaximumHeight(0);
        ui.line_10->hide();
        if (!hasOriginal) {
            ui.lb_origindata->hide();
            ui.line_9->hide();
            ui.line_10->hide();
            ui.dataShowOriginalFrame->hide();
        }
        ShowContentInView(dataView.get(), qelt, !qelt->hasLatex());
        SelectRememberedRow(1);
    } else if (tab == kOriginal && hasOriginal) {
        if (originalPixmap.isNull()) {
            ui.lb_origin_image->setText(tr("Not loaded"));
        } else {
            ui.lb_origin_image->setText(QString());
            ui.lb_origin_image->setPixmap(originalPixmap.scaled(
                ui.lb_origin_image->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        }
        originalRow = utils::rowMemory().originalRow;
        SelectRememberedEntry(2, originalRow < 4 ? originalRow : 0);
    } else if (tab == kSolver && qelt->hasContent() && solvedQeltId != qelt->id) {
        StartSolve(qelt);
    }
}

void QeltViewFrame::OnTabBarClicked(int index)
{
    copyRemembered = true;
    SelectTab(index, false, true);
}

void QeltViewFrame::ShowContentInView(WebViewWrapper* view, const ZorvaneQeltConstPtr& qelt, bool withWidth)
{
    if (!view || !qelt)
        return;
    const ZorvaneQeltPtr shown = WithShownContent(qelt);
    const bool asLatex = !shown->latex.isEmpty() && !ZorvaneQelt::containsSmiles(shown->text) &&
                         !ZorvaneQelt::isTable(shown->text);
    const QString content = asLatex ? shown->latex : shown->text;
    // The same text still on its way through the view renders once: its result serves both callers.
    GivenText& given = givenTexts[view];
    const GivenText next{asLatex, withWidth, content, 0};
    if (view->isApplying() && given.number == view->lastTextNumber() && given.sameAs(next)) {
        if (qelt->id == shownQelt.id)
            formatTickets[view] = given.number;
        return;
    }
    if (asLatex)
        view->setLatex(content, withWidth);
    else
        view->setText(content, withWidth);
    given = next;
    given.number = view->lastTextNumber();
    if (qelt->id == shownQelt.id)
        formatTickets[view] = given.number;
}

void QeltViewFrame::HideCopiedLabels()
{
    for (const QList<ResultRow>* rows : {&ocrRows, &dataRows, &originalRows}) {
        for (const ResultRow& row : *rows) {
            if (row.copiedLabel)
                row.copiedLabel->hide();
        }
    }
    for (QLabel* badge : {ui.lb_copied_web_, ui.lb_copied_origin_, ui.lb_copied_data, ui.lb_solvercopied})
        badge->hide();
}

void QeltViewFrame::OnQeltUpdated(QString qeltId)
{
    // While another Qelt waits to be shown, the one still on the page is on its way out: its update must
    // not take the waiting one's place.
    const QString current = pendingQelt ? pendingQelt->id : shownQelt.id;
    if (qeltId.isEmpty() || qeltId != current)
        return;
    solvedQeltId.clear();
    if (const ZorvaneQeltPtr qelt = Controller()->qeltById(qeltId))
        PresentQelt(qelt, false);
}
