#include "pdf/PdfConverterFrame.h"

#include "core/Palette.h"
#include "core/ui/styles.h"
#include "ui_PdfConverterFrame.h"

#include <QDebug>

PdfConverterFrame::PdfConverterFrame(QWidget* parent)
    : QFrame(parent), m_form(std::make_unique<Ui::PdfConverterFrame>())
{
    m_form->setupUi(this);
    for (QPushButton* button : {m_form->takeQeltButton, m_form->uploadQeltButton, m_form->drawQeltButton,
                                m_form->createTextQeltButton, m_form->showQeltListButton,
                                m_form->convertPdfButton, m_form->settingsButton})
        button->setStyleSheet(utils::styles::flatButton());
    m_form->removeAllButton->setStyleSheet(utils::styles::iconButton());
    m_form->listContents->setStyleSheet(QStringLiteral("QWidget#listContents {  background: white;}"));
    m_form->emptyLabel->setStyleSheet(
        QStringLiteral("color: %1;font-size: 16px;").arg(Palette::grey.name().toUpper()));
    m_form->listTitleLabel->setStyleSheet(QStringLiteral("font-weight: 600;"));

    connect(m_form->takeQeltButton, &QPushButton::clicked, this, &PdfConverterFrame::takeQelt);
    connect(m_form->uploadQeltButton, &QPushButton::clicked, this, &PdfConverterFrame::uploadQelt);
    connect(m_form->drawQeltButton, &QPushButton::clicked, this, &PdfConverterFrame::drawQelt);
    connect(m_form->createTextQeltButton, &QPushButton::clicked, this, &PdfConverterFrame::createTextQelt);
    connect(m_form->showQeltListButton, &QPushButton::clicked, this, &PdfConverterFrame::showQeltList);
    connect(m_form->settingsButton, &QPushButton::clicked, this, [this] {
        const QPushButton* button = m_form->settingsButton;
        emit showSettingsMenu(button->mapToGlobal(QPoint(0, button->height() + 2)));
    });
    connect(m_form->removeAllButton, &QPushButton::clicked, this, &PdfConverterFrame::onRemoveAllClicked);
    updateList();
}

PdfConverterFrame::~PdfConverterFrame() = default;

QList<QWidget*> PdfConverterFrame::rows() const
{
    // Every widget of the list but its fixed text is a row.
    QList<QWidget*> found;
    for (int i = 0; i < m_form->listLayout->count(); ++i) {
        QWidget* widget = m_form->listLayout->itemAt(i)->widget();
        if (widget && widget != m_form->emptyLabel)
            found.append(widget);
    }
    return found;
}

int PdfConverterFrame::rowCount() const
{
    return rows().size();
}

void PdfConverterFrame::onRemoveAllClicked()
{
    const QList<QWidget*> gone = rows();
    qInfo() << "[PdfConverterFrame] Removing" << gone.size() << "rows";
    for (QWidget* row : gone) {
        m_form->listLayout->removeWidget(row);
        delete row;
    }
    updateList();
}

void PdfConverterFrame::updateList()
{
    m_form->removeAllButton->setEnabled(rowCount() > 0);
}
