// Keyboard navigation: selecting (and so copying) an entry of a tab, walking the rows and tabs with the
// arrow keys, Enter to edit, and the clicks and window events the page watches.

#include "view/bridge/ImageCreator.h"
#include "view/page/QeltViewFrame.h"
#include "view/page/viewGeometry.h"
#include "view/rows/RowFormat.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>

namespace {

const QString kOcr = QStringLiteral("OCR");
const QString kData = QStringLiteral("Data");
const QString kOriginal = QStringLiteral("Original");
const QString kSolver = QStringLiteral("Solver");
const QString kChat = QStringLiteral("QeltChat");

bool isAction(const ResultRow& row)
{
    return row.format == ExportToDoc || row.format == Csv;
}

// Shown on the page, whether or not the page itself is on screen.
bool offered(const QWidget* widget)
{
    return !widget->isHidden();
}

} // namespace

void QeltViewFrame::SelectFormat(int list, int index, int direction)
{
    HideCopiedLabels();
    ResultRow* row = nullptr;
    if (list == 1) {
        if (index < 0 || index >= dataRows.size())
            return;
        dataRow = index;
        row = &dataRows[index];
        if (!isAction(*row)) {
            lastCopiedFormat = row->formatKey();
            lastCopiedSource = 1;
        }
    } else if (list == 0) {
        if (ocrRows.isEmpty())
            return;
        if (index >= 3 && index - 3 < ocrRows.size()) {
            ocrRow = index;
            row = &ocrRows[index - 3];
            lastCopiedFormat = row->formatKey();
            lastCopiedDelimiter = delimiterLabel(row->format);
            lastCopiedSource = 0;
        } else if (index == 2) {
            ocrRow = 2;
            StoreRowMemory(0);
            ui.but_webcopyimage->setFocus(Qt::OtherFocusReason);
            HideCopiedLabels();
            imageOpenPending = false;
            imageCopyPending = RenderImage();
            return;
        } else if (index == 1) {
            if (offered(ui.but_copy_mathml_word))
                CopyMathmlWord();
            else
                SelectFormat(0, direction + 1, +1);
            return;
        } else if (index == 0) {
            if (offered(ui.but_copy_tsv)) {
                CopyTsv();
            } else if (direction < 0) {
                GoToPrevTab();
            } else {
                SelectFormat(0, 1, +1);
            }
            return;
        } else {
            return;
        }
    } else if (list == 2) {
        if (index > originalRows.size())
            return;
        if (index < 1) {
            CopyOriginalImage();
            return;
        }
        originalRow = index;
        row = &originalRows[index - 1];
        lastCopiedFormat = row->formatKey();
        lastCopiedSource = 2;
    } else {
        return;
    }

    StoreRowMemory(list);
    if (!row->lineEdit->hasFocus())
        row->lineEdit->setFocus(Qt::OtherFocusReason);
    if (isAction(*row))
        return;
    if (imageCopyPending)
        imageCreator->cancel();
    PutTextOnClipboard(row->text);
    ShowCopied(row->copiedLabel);
}

// The keys move from the selection shown, which is the remembered entry unless the shown Qelt lacks it.
void QeltViewFrame::OnNextRowKey()
{
    const QString tab = CurrentTabTitle();
    if (tab == kOcr) {
        const int row = ocrRow;
        if (row == ocrIndexCount - 1)
            GoToNextTab();
        else
            SelectFormat(0, viewGeometry::wrap(row + 1, ocrIndexCount), +1);
    } else if (tab == kData) {
        const int row = dataRow;
        const int count = dataRows.size();
        if (count == 0 || row == count - 1) {
            GoToNextTab();
            return;
        }
        const int next = viewGeometry::wrap(row + 1, count);
        ScrollDataTo(next);
        SelectFormat(1, next, +1);
    } else if (tab == kOriginal) {
        const int row = originalRow;
        if (originalRowCount < 0)
            return;
        if (row == originalRowCount)
            GoToNextTab();
        else
            SelectFormat(2, viewGeometry::wrap(row + 1, originalRowCount + 1), +1);
    } else if (tab == kSolver || tab == kChat) {
        GoToNextTab();
    }
}

void QeltViewFrame::OnPrevRowKey()
{
    const QString tab = CurrentTabTitle();
    if (tab == kOcr) {
        const int row = ocrRow;
        const bool noTsv = !offered(ui.but_copy_tsv);
        const bool noCsv = !offered(ui.but_export_csv);
        const bool noWord = !offered(ui.but_copy_mathml_word);
        const bool first = row == 0 || (row == 1 && noTsv) || (row == 2 && noTsv && noCsv) ||
                           (row == 3 && noTsv && noCsv && noWord);
        if (first)
            GoToPrevTab();
        else
            SelectFormat(0, viewGeometry::wrap(row - 1, ocrIndexCount), -1);
    } else if (tab == kData) {
        const int row = dataRow;
        const int count = dataRows.size();
        if (row == 0 || count == 0) {
            GoToPrevTab();
            return;
        }
        ScrollDataTo(row - 1);
        SelectFormat(1, row - 1, +1);
    } else if (tab == kOriginal) {
        const int row = originalRow;
        if (row == 0) {
            GoToPrevTab();
            return;
        }
        if (originalRowCount >= 0)
            SelectFormat(2, viewGeometry::wrap(row + originalRowCount, originalRowCount + 1), +1);
    } else if (tab == kSolver || tab == kChat) {
        GoToPrevTab();
    }
}

void QeltViewFrame::GoToNextTab()
{
    copyRemembered = true; // the tab walked to selects, and copies, its remembered entry
    const int count = ui.tab_scanResult->count();
    if (count == 0)
        return;
    SelectTab(viewGeometry::wrap(ui.tab_scanResult->currentIndex() + 1, count), true, true);
    SelectFirstRowOfTab();
}

void QeltViewFrame::GoToPrevTab()
{
    copyRemembered = true;
    const int count = ui.tab_scanResult->count();
    if (count == 0)
        return;
    SelectTab(viewGeometry::wrap(ui.tab_scanResult->currentIndex() - 1, count), true, true);
    SelectLastRowOfTab();
}

void QeltViewFrame::SelectNextTab(int from, bool remember)
{
    copyRemembered = true;
    const int count = ui.tab_scanResult->count();
    if (count == 0)
        return;
    const int start = from < 0 ? ui.tab_scanResult->currentIndex() : from;
    SelectTab(viewGeometry::wrap(start + 1, count), true, remember);
}

void QeltViewFrame::SelectPrevTab(int from, bool remember)
{
    copyRemembered = true;
    const int count = ui.tab_scanResult->count();
    if (count == 0)
        return;
    const int start = from < 0 ? ui.tab_scanResult->currentIndex() : from;
    SelectTab(viewGeometry::wrap(start - 1, count), true, remember);
}

void QeltViewFrame::SelectFirstRowOfTab()
{
    const QString tab = CurrentTabTitle();
    if (tab == kOcr) {
        SelectFormat(0, 0, +1);
    } else if (tab == kData) {
        ui.scrollArea->verticalScrollBar()->setValue(0);
        SelectFormat(1, 0, +1);
    } else if (tab == kOriginal) {
        SelectFormat(2, 0, +1);
    }
}

void QeltViewFrame::SelectLastRowOfTab()
{
    const QString tab = CurrentTabTitle();
    if (tab == kOcr) {
        SelectFormat(0, ocrIndexCount - 1, +1);
    } else if (tab == kData) {
        QScrollBar* bar = ui.scrollArea->verticalScrollBar();
        bar->setValue(bar->maximum());
        SelectFormat(1, dataRows.size() - 1, +1);
    } else if (tab == kOriginal) {
        SelectFormat(2, originalRows.size(), +1);
    }
}

void QeltViewFrame::OnEnterKey()
{
    for (const ResultRow& row : qAsConst(ocrRows)) {
        if (!row.lineEdit->hasFocus())
            continue;
        if (row.latex)
            emit EditQeltLatex(shownQelt.id);
        else
            emit EditQeltText(shownQelt.id);
        return;
    }
}

bool QeltViewFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui.lb_originOCR || watched == ui.lb_origindata || watched == ui.lb_origin_image) {
        if (event->type() == QEvent::Resize)
            RescaleImages();
        return QFrame::eventFilter(watched, event);
    }
    if (watched == this) {
        if (event->type() == QEvent::WindowDeactivate)
            OnDeactivated();
        else if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
            HoldResultViews(event->type() == QEvent::Show);
        return QFrame::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            OnEnterKey();
        break;
    }
    case QEvent::MouseButtonDblClick: {
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            break;
        event->accept();
        // Found first, acted on after: an export's dialog lets the rows be rebuilt meanwhile.
        int format = -1;
        for (const ResultRow& row : qAsConst(dataRows)) {
            if (row.lineEdit == watched)
                format = row.format;
        }
        if (format == ExportToDoc)
            OpenDocx();
        else if (format == Csv)
            ExportCsv();
        break;
    }
    case QEvent::MouseButtonPress: {
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            break;
        event->accept();
        const QList<QPair<const QList<ResultRow>*, int>> lists{
            {&ocrRows, 3}, {&dataRows, 0}, {&originalRows, 1}};
        for (int list = 0; list < lists.size(); ++list) {
            const QList<ResultRow>& rows = *lists.at(list).first;
            for (int i = 0; i < rows.size(); ++i) {
                if (rows.at(i).lineEdit == watched) {
                    SelectFormat(list, i + lists.at(list).second, +1);
                    return QFrame::eventFilter(watched, event);
                }
            }
        }
        break;
    }
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}
