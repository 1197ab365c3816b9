#include "authoring/pages/QeltEditFrame.h"

#include "authoring/pages/TextEditPane.h"
#include "authoring/pages/pageLook.h"
#include "core/Palette.h"
#include "core/ui/MessageBox.h"
#include "core/ui/styles.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "ui_QeltEditFrame.h"

#include <QApplication>
#include <QDebug>

#include <stdexcept>

QeltEditFrame::QeltEditFrame(QeltControllerSwitch* switcher, QWidget* parent)
    : QFrame(parent), m_form(std::make_unique<Ui::QeltEditFrame>()), m_switch(switcher)
{
    if (!m_switch)
        throw std::runtime_error("[QeltEditFrame] Controller switch is null");
    m_form->setupUi(this);
    m_pane = new TextEditPane(m_form->splitter, m_form->editor, m_form->preview, this);
    m_form->but_back->setStyleSheet(utils::styles::flatButton());
    m_form->but_settings->setStyleSheet(utils::styles::flatButton());
    m_form->but_save->setStyleSheet(utils::styles::primaryButton(12));
    m_form->but_cancel->setStyleSheet(authoring::textButtonStyle());
    m_form->lb_title->setStyleSheet(QStringLiteral("font-weight: 600;"));
    m_form->lb_status->setStyleSheet(QStringLiteral("color: %1;").arg(Palette::red.name()));

    connect(m_form->but_save, &QPushButton::clicked, this, &QeltEditFrame::onSaveClicked);
    connect(m_form->but_back, &QPushButton::clicked, this, &QeltEditFrame::onBackClicked);
    connect(m_form->but_cancel, &QPushButton::clicked, this, &QeltEditFrame::onBackClicked);
    connect(m_form->but_settings, &QPushButton::clicked, this, &QeltEditFrame::onSettingsClicked);
    connect(m_pane, &TextEditPane::textChanged, this, &QeltEditFrame::updateButtons);
    reset();
}

QeltEditFrame::~QeltEditFrame()
{
    // The preview's wrapper goes before the preview: the answers that a dying page still gives would
    // otherwise reach a view half torn down.
    delete m_pane;
}

void QeltEditFrame::editQelt(const QString& qeltId)
{
    load(qeltId, false);
}

void QeltEditFrame::editQeltAlt(const QString& qeltId)
{
    load(qeltId, true);
}

void QeltEditFrame::load(const QString& qeltId, bool latex)
{
    QeltsController* controller = m_switch->current();
    const ZorvaneQeltPtr qelt = controller->qeltById(qeltId);
    m_qeltId = qeltId;
    m_latex = latex;
    // The latest edit not yet taken by the service, if any: that is what the view page shows.
    m_loadedText = !qelt ? QString() : latex ? controller->latexOf(qelt) : controller->textOf(qelt);
    m_form->lb_title->setText(latex ? tr("Edit LaTeX") : tr("Edit Markdown"));
    m_pane->setMarkdown(!latex);
    m_pane->setText(m_loadedText);
    m_pane->expand();
    showStatus(qelt ? QString() : tr("This Qelt is no longer in your library."));
    updateButtons();
    m_form->editor->setFocus();
}

void QeltEditFrame::reset()
{
    m_qeltId.clear();
    m_loadedText.clear();
    m_pane->setText(QString());
    showStatus(QString());
    updateButtons();
}

void QeltEditFrame::collapseEditPane()
{
    m_pane->collapse();
}

bool QeltEditFrame::isModified() const
{
    return m_pane->text() != m_loadedText;
}

void QeltEditFrame::onSaveClicked()
{
    if (m_qeltId.isEmpty() || m_pane->isBlank())
        return;
    QeltsController* controller = m_switch->current();
    if (!controller->qeltById(m_qeltId)) {
        // Deleted meanwhile: the text stays in the editor for the user to copy.
        qWarning() << "[QeltEditFrame] The edited Qelt is gone:" << m_qeltId;
        showStatus(tr("This Qelt is no longer in your library. Copy your text before you leave this page."));
        m_form->but_save->setEnabled(false);
        return;
    }
    const QString text = m_pane->text();
    if (text != m_loadedText) {
        if (m_latex)
            controller->editQeltLatex(m_qeltId, text);
        else
            controller->editQeltText(m_qeltId, text);
        m_loadedText = text;
    }
    emit WantBack();
}

void QeltEditFrame::onBackClicked()
{
    if (isModified() &&
        MessageBox::question(this, QApplication::applicationName(),
                             tr("Leave the editor? Your changes to this Qelt will be lost.")) !=
            QMessageBox::Yes)
        return;
    emit WantBack();
}

void QeltEditFrame::onSettingsClicked()
{
    emit ShowContextMenu(authoring::menuPosition(m_form->but_settings));
}

void QeltEditFrame::showEvent(QShowEvent* event)
{
    m_pane->expand();
    QFrame::showEvent(event);
}

void QeltEditFrame::updateButtons()
{
    const bool known = !m_qeltId.isEmpty() && m_switch->current()->qeltById(m_qeltId);
    m_form->but_save->setEnabled(known && !m_pane->isBlank());
}

void QeltEditFrame::showStatus(const QString& text)
{
    m_form->lb_status->setText(text);
    m_form->lb_status->setVisible(!text.isEmpty());
}
