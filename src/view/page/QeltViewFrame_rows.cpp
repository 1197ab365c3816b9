// The rows of the OCR, Data and Original tabs: which rows a Qelt gets, in which groups, and the formats
// the editor page derives for them.

#include "core/latex.h"
#include "core/ui/styles.h"
#include "core/userState.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "view/bridge/WebViewWrapper.h"
#include "view/page/QeltViewFrame.h"
#include "view/rows/RowFormat.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace {

constexpr int kOcrList = 0;
constexpr int kDataList = 1;
constexpr int kOriginalList = 2;
constexpr int kHeaderHeight = 29;
const QMargins kOcrHeaderMargins(15, 5, 0, 5);
const QMargins kDataHeaderMargins(10, 0, 0, 0);

QSpacerItem* closingSpacer()
{
    return new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding);
}

int verticalMargins(const QLayout* layout)
{
    const QMargins margins = layout->contentsMargins();
    return margins.top() + margins.bottom();
}

int rowHeight(const QList<ResultRow>& rows)
{
    return rows.isEmpty() ? 0 : rows.first().lineEdit->maximumHeight();
}

} // namespace

void QeltViewFrame::SetFormats(QList<bool> flags)
{
    const QStringList names{QStringLiteral("mathmlword"), QStringLiteral("mathml"),
                            QStringLiteral("asciimath"), QStringLiteral("tsv"), QStringLiteral("csv")};
    // A shorter list leaves the formats it does not name as they are.
    for (int i = 0; i < names.size() && i < flags.size(); ++i)
        utils::setFormatShown(names.at(i), flags.at(i));
    formatsHandled = false;
    if (const ZorvaneQeltConstPtr shown = ShownInController()) {
        copyRemembered = false;
        FillQelt(WithShownContent(shown));
    }
}

void QeltViewFrame::ClearLayout(QLayout* layout)
{
    if (!layout)
        return;
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QLayout* nested = item->layout())
            ClearLayout(nested);
        // The widget may be the one whose event is being handled: it leaves the page now and is deleted
        // once the event is done.
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->setParent(nullptr);
            widget->deleteLater();
        }
        delete item;
    }
}

void QeltViewFrame::StyleRowGroup(QList<ResultRow>& rows, int first, int last)
{
    for (int i = std::max(first, 0); i <= last && i < rows.size(); ++i) {
        const bool top = i == first;
        const bool bottom = i == last;
        rows[i].lineEdit->setStyleSheet(utils::styles::lineEdit(top, bottom));
    }
}

void QeltViewFrame::AddOcrRows(const QStringList& texts, bool smiles)
{
    for (const QString& text : texts)
        ocrRows << ResultRow(ui.latexresult_widget, kOcrList, smiles ? Smiles : Chemistry, text, false, true,
                             false);
}

QHBoxLayout* QeltViewFrame::AddRowGroup(QBoxLayout* target, QList<ResultRow>& rows, int first, int last,
                                        const QString& header, const QMargins& headerMargins)
{
    auto* outer = new QVBoxLayout;
    QHBoxLayout* headerLayout = nullptr;
    if (!header.isNull()) {
        headerLayout = new QHBoxLayout;
        headerLayout->setContentsMargins(headerMargins);
        headerLayout->addWidget(new QLabel(header, target->parentWidget()));
        outer->addLayout(headerLayout);
    }
    auto* group = new QVBoxLayout;
    group->setSpacing(0);
    for (int i = first; i <= last; ++i)
        group->addLayout(rows[i].layout);
    outer->addLayout(group);
    StyleRowGroup(rows, first, last);
    target->addLayout(outer);
    return headerLayout;
}

void QeltViewFrame::WireRowField(ResultRow& row, int list, int position)
{
    row.lineEdit->installEventFilter(this);
    if (row.copyButton) {
        connect(row.copyButton, &QPushButton::clicked, this,
                [this, list, position] { SelectFormat(list, position, +1); });
    }
    if (row.editButton) {
        connect(row.editButton, &QPushButton::clicked, this, [this, latex = row.latex] {
            if (latex)
                emit EditQeltLatex(shownQelt.id);
            else
                emit EditQeltText(shownQelt.id);
        });
    }
    if (row.searchButton)
        connect(row.searchButton, &QPushButton::clicked, this,
                [this, text = row.text] { emit SearchClicked(text); });
    if (row.format == ExportToDoc)
        connect(row.lineEdit, &QLineEdit::returnPressed, this, &QeltViewFrame::OpenDocx);
    else if (row.format == Csv)
        connect(row.lineEdit, &QLineEdit::returnPressed, this, &QeltViewFrame::ExportCsv);
}

void QeltViewFrame::BuildOcrFormatRows()
{
    ClearLayout(ui.latex_result_layout);
    ocrRows.clear();
    ocrRowCount = 0;
    ocrIndexCount = 3;
    const ZorvaneQeltConstPtr qelt = ShownInController();
    if (!qelt || !qelt->hasContent())
        return;
    const ZorvaneQeltPtr shown = WithShownContent(qelt);
    const QString& latex = shown->latex;
    const QString& text = shown->text;
    const bool smiles = ZorvaneQelt::containsSmiles(text);
    QWidget* parent = ui.latexresult_widget;
    if (latex.isEmpty() || smiles) {
        ocrRows << ResultRow(parent, kOcrList, Text, text, false, false, false);
    } else {
        ocrRows << ResultRow(parent, kOcrList, Latex, latex, true, false, false);
        if (!text.isEmpty())
            ocrRows << ResultRow(parent, kOcrList, Text, text, false, false, false);
        if (resultFormat.blockEnabled)
            ocrRows << ResultRow(parent, kOcrList, LatexBlock,
                                 utils::wrapDisplayLatex(latex, resultFormat.blockStyle, true), true, false,
                                 false);
        if (resultFormat.numberedEnabled)
            ocrRows << ResultRow(parent, kOcrList, LatexBlockNumbered,
                                 utils::wrapNumberedLatex(latex, resultFormat.numberedStyle, true), true,
                                 false, false);
        if (resultFormat.customEnabled)
            ocrRows << ResultRow(parent, kOcrList, LatexBlockCustom,
                                 utils::joinLines(latex, resultFormat.customOpenDelimiter,
                                                  resultFormat.customCloseDelimiter, true),
                                 true, false, false);
    }

    QBoxLayout* layout = ui.latex_result_layout;
    int headers = 0;
    bool grouped = false;
    const auto addGroup = [&](const QStringList& values, bool asSmiles, const QString& header) {
        if (values.isEmpty())
            return;
        const int first = ocrRows.size();
        AddOcrRows(values, asSmiles);
        if (QHBoxLayout* headerLayout =
                AddRowGroup(layout, ocrRows, first, ocrRows.size() - 1, header, kOcrHeaderMargins))
            headerLayout->itemAt(0)->widget()->setStyleSheet(QStringLiteral("background: transparent;"));
        ++headers;
    };
    if (smiles && !pageFormats.smiles.isEmpty()) {
        grouped = true;
        if (!ocrRows.isEmpty()) {
            AddRowGroup(layout, ocrRows, 0, ocrRows.size() - 1, QStringLiteral("ZMD"), kOcrHeaderMargins)
                ->itemAt(0)
                ->widget()
                ->setStyleSheet(QStringLiteral("background: transparent;"));
            ++headers;
        }
        addGroup(pageFormats.smiles, true, QStringLiteral("Smiles"));
        addGroup(pageFormats.mol, false, QStringLiteral("MOL"));
        addGroup(pageFormats.inchi, false, QStringLiteral("InChI "));
        addGroup(pageFormats.inchiKey, false, QStringLiteral("InChI key"));
    }
    if (ZorvaneQelt::isTable(text) && !pageFormats.tableMarkdown.isEmpty()) {
        if (!grouped) {
            AddRowGroup(layout, ocrRows, 0, ocrRows.size() - 1, QString(), QMargins());
            layout->addItem(closingSpacer());
        }
        grouped = true;
        const int first = ocrRows.size();
        for (const QString& table : pageFormats.tableMarkdown)
            ocrRows << ResultRow(parent, kOcrList, TableMarkdown, table, false, false, true);
        AddRowGroup(layout, ocrRows, first, ocrRows.size() - 1, tr("Markdown tables"), kOcrHeaderMargins)
            ->itemAt(0)
            ->widget()
            ->setStyleSheet(QStringLiteral("background: transparent;"));
        ++headers;
    }
    for (int i = 0; i < ocrRows.size(); ++i)
        WireRowField(ocrRows[i], kOcrList, i + 3);
    ocrRowCount = ocrRows.size();
    ocrIndexCount = ocrRowCount + 3;
    if (!grouped) {
        AddRowGroup(layout, ocrRows, 0, ocrRows.size() - 1, QString(), QMargins());
        layout->addItem(closingSpacer());
    }
    const int height = verticalMargins(ui.frame_latex_layout) + kHeaderHeight * headers +
                       ocrRows.size() * rowHeight(ocrRows);
    ui.frame_latex_result->setMinimumHeight(height);
    ui.frame_latex_result->setMaximumHeight(height);
    if (grouped)
        SelectRememberedRowOfCurrentTab();
}

void QeltViewFrame::BuildImageUrlRows()
{
    ClearLayout(ui.url_result_layout);
    originalRows.clear();
    const QString url = shownQelt.originalImageUrl;
    if (shownQelt.id.isEmpty() || url.isEmpty())
        return;
    QWidget* parent = ui.urlresult_widget;
    originalRows << ResultRow(parent, kOriginalList, RawUrl, url, false, false, false)
                 << ResultRow(parent, kOriginalList, MarkdownUrl, QStringLiteral("![](%1)").arg(url), false,
                              false, false)
                 << ResultRow(parent, kOriginalList, HtmlUrl, QStringLiteral("<img src=\"%1\">").arg(url),
                              false, false, false);
    for (int i = 0; i < originalRows.size(); ++i)
        WireRowField(originalRows[i], kOriginalList, i + 1);
    originalRowCount = originalRows.size();
    AddRowGroup(ui.url_result_layout, originalRows, 0, originalRows.size() - 1, QString(), QMargins());
    const int height = verticalMargins(ui.frame_url_layout) + originalRows.size() * rowHeight(originalRows);
    ui.frame_url_result->setMinimumHeight(height);
    ui.frame_url_result->setMaximumHeight(height);
}

void QeltViewFrame::BuildDataFormatRows()
{
    ClearLayout(ui.scrollAreaLayout);
    dataRows.clear();
    const QStringList titles{
        QStringLiteral("DOCX(MS WORD)"), QStringLiteral("CSV"),       QStringLiteral("MathML (MS Word)"),
        QStringLiteral("MathML"),        QStringLiteral("AsciiMath"), QStringLiteral("SVG"),
        QStringLiteral("HTML"),          QStringLiteral("TSV")};
    const QList<int> formats{ExportToDoc, Csv, MathmlWord, Mathml, Asciimath, Svg, Html, Tsv};
    for (int group = 0; group < titles.size(); ++group) {
        const QStringList values = dataGroups.value(group);
        if (values.isEmpty())
            continue;
        const int first = dataRows.size();
        for (const QString& value : values)
            dataRows << ResultRow(ui.scrollAreaWidgetContents, kDataList, formats.at(group), value, false,
                                  false, false);
        QHBoxLayout* header = AddRowGroup(ui.scrollAreaLayout, dataRows, first, dataRows.size() - 1,
                                          titles.at(group), kDataHeaderMargins);
        if (formats.at(group) == ExportToDoc) {
            auto* help = new QPushButton(ui.scrollAreaWidgetContents);
            help->setFixedSize(16, 16);
            help->setStyleSheet(QStringLiteral(
                "QPushButton {  border-image: url(:/images/new_design/question_off.svg);  background-repeat: "
                "no-repeat;  width: 16px;  height: 16px;}QPushButton:hover {  border-image: "
                "url(:/images/new_design/question_on.svg);  background-repeat: no-repeat;}"));
            connect(help, &QPushButton::clicked, this, &QeltViewFrame::ShowDataRowHelp);
            header->addWidget(help);
            header->addStretch(1);
        }
    }
    for (int i = 0; i < dataRows.size(); ++i)
        WireRowField(dataRows[i], kDataList, i);
    ui.scrollAreaLayout->addItem(closingSpacer());
    if (!dataRows.isEmpty())
        ui.tab_scanResult->setTabEnabled(TabIndexOf(QStringLiteral("Data")), true);
    SelectRememberedRowOfCurrentTab();
}

void QeltViewFrame::OnFormatsReport(WebViewWrapper* view, const QJsonObject& obj, quint64 textNumber)
{
    // A report about a text the view rendered before it was given the shown Qelt's content is stale.
    const auto ticket = formatTickets.constFind(view);
    if (ticket == formatTickets.constEnd() || ticket.value() != textNumber)
        return;
    OnNonLatexFormats(obj);
}

void QeltViewFrame::OnNonLatexFormats(QJsonObject obj)
{
    if (formatsHandled)
        return;
    const ZorvaneQeltConstPtr qelt = ShownInController();
    if (!qelt)
        return;
    pageFormats = PageFormats::fromReply(obj);
    const QString text = WithShownContent(qelt)->text;
    dataGroups = pageFormats.dataGroups(tr("Open DOCX"), tr("Export CSV"), utils::isFormatShown);
    if (pageFormats.isEmpty() || ZorvaneQelt::containsSmiles(text)) {
        ui.but_copy_tsv->hide();
        ui.but_export_csv->hide();
        ui.but_copy_mathml_word->hide();
        if (ZorvaneQelt::containsSmiles(text) || ZorvaneQelt::isTable(text))
            BuildOcrFormatRows();
        const int data = TabIndexOf(QStringLiteral("Data"));
        if (pageFormats.onlySmiles() && data >= 0) {
            const int count = ui.tab_scanResult->count();
            if (ui.tab_scanResult->currentIndex() == data)
                ui.tab_scanResult->setCurrentIndex((count + 2 % count) % count);
            ui.tab_scanResult->removeTab(data);
            SelectRememberedRowOfCurrentTab();
        } else {
            // The chemistry formats keep the Data tab: it offers the DOCX export.
            BuildDataFormatRows();
        }
        UpdateTabBarSpacers();
        formatsHandled = true;
        CheckResultSettled();
        return;
    }
    ui.but_copy_tsv->setVisible(!pageFormats.tsv.isEmpty() && utils::isFormatShown(QStringLiteral("tsv")));
    ui.but_export_csv->setVisible(!pageFormats.csv.isEmpty() && utils::isFormatShown(QStringLiteral("csv")));
    ui.but_copy_mathml_word->setVisible(!pageFormats.mathmlword.isEmpty() &&
                                        utils::isFormatShown(QStringLiteral("mathmlword")));
    if (ZorvaneQelt::isTable(text))
        BuildOcrFormatRows();
    BuildDataFormatRows();
    formatsHandled = true;
    CheckResultSettled();
}
