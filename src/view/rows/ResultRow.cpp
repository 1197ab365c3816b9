#include "view/rows/ResultRow.h"

#include "core/ui/fonts.h"
#include "core/ui/styles.h"
#include "view/rows/RowFormat.h"

#include <QColor>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kRowHeight = 39;
constexpr int kButtonSize = 34;
constexpr int kOcrTab = 0;

QPushButton* makeButton(QWidget* parent, const QString& offIcon, const QString& onIcon)
{
    auto* button = new QPushButton(parent);
    button->setMinimumSize(kButtonSize, kButtonSize);
    button->setMaximumSize(kButtonSize, kButtonSize);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(utils::styles::colorButton());
    QIcon icon;
    icon.addFile(offIcon, QSize(), QIcon::Normal, QIcon::Off);
    icon.addFile(onIcon, QSize(), QIcon::Normal, QIcon::On);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    return button;
}

} // namespace

const QStringList ResultRow::formatKeys{"latex",
                                        "text",
                                        "latex_block",
                                        "latex_block_numbered",
                                        "latex_block_custom",
                                        "smiles",
                                        "table-markdown",
                                        "export_to_doc",
                                        "mathmlword",
                                        "mathml",
                                        "asciimath",
                                        "svg",
                                        "html",
                                        "tsv",
                                        "csv",
                                        "raw_url",
                                        "markdown_url",
                                        "html_url"};

ResultRow::ResultRow(QWidget* parent, int tab, int format, const QString& text, bool latex, bool chemistry,
                     bool table)
    : tab(tab), format(format), latex(latex), chemistry(chemistry), table(table), text(text)
{
    layout = new QHBoxLayout;
    layout->setSpacing(6);

    lineEdit = new QLineEdit(parent);
    lineEdit->setMinimumSize(0, kRowHeight);
    lineEdit->setMaximumSize(16777215, kRowHeight);
    lineEdit->setFocusPolicy(Qt::StrongFocus);
    lineEdit->setReadOnly(true);
    utils::markAsCodeHolder(lineEdit);
    // A field with megabytes of text makes the page crawl; the copy still takes the whole text.
    lineEdit->setText(text.size() > kDisplayLimit ? text.left(kDisplayLimit) + " ..." : text);
    lineEdit->setCursorPosition(0);

    // The badge sits inside the field, at its right end.
    auto* badgeLayout = new QHBoxLayout(lineEdit);
    badgeLayout->setContentsMargins(0, 0, 15, 0);
    badgeLayout->addStretch();
    copiedLabel = new QLabel(QStringLiteral("COPIED"), lineEdit);
    copiedLabel->setFixedSize(50, 20);
    copiedLabel->setAlignment(Qt::AlignCenter);
    copiedLabel->setStyleSheet(
        QStringLiteral("QLabel {  border: none;  color: %1;  background-color: white;  "
                       "border-radius: 10px;  font-size: 9px;  font-weight: 600;}")
            .arg(QColor(0x00, 0x6F, 0xDB).name()));
    copiedLabel->hide();
    badgeLayout->addWidget(copiedLabel);
    layout->addWidget(lineEdit);

    // The DOCX and CSV rows act on double click or Enter only.
    if (format == ExportToDoc || format == Csv)
        return;
    copyButton = makeButton(parent, QStringLiteral(":/images/new_design/view_menu_copy.svg"),
                            QStringLiteral(":/images/new_design/view_menu_copy_hover.svg"));
    layout->addWidget(copyButton);
    if (tab != kOcrTab)
        return;
    if (!chemistry && !table) {
        editButton = makeButton(parent, QStringLiteral(":/images/new_design/edit-off.svg"),
                                QStringLiteral(":/images/new_design/edit-on.svg"));
        layout->addWidget(editButton);
    }
    if (format != Chemistry) {
        searchButton = makeButton(parent, QStringLiteral(":/images/new_design/search_off.svg"),
                                  QStringLiteral(":/images/new_design/search_on.svg"));
        layout->addWidget(searchButton);
    }
}

QString ResultRow::formatKey() const
{
    if (format < Latex || format > HtmlUrl || format == Chemistry)
        return QString();
    // Chemistry has no key, so the keys after it sit one place earlier.
    return formatKeys.at(format < Chemistry ? format : format - 1);
}
