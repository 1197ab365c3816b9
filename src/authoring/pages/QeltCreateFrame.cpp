#include "authoring/pages/QeltCreateFrame.h"

#include "api/APIHandler.h"
#include "authoring/pages/TextEditPane.h"
#include "authoring/pages/pageLook.h"
#include "core/Palette.h"
#include "core/ui/styles.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "ui_QeltCreateFrame.h"

#include <QDebug>

#include <stdexcept>

QeltCreateFrame::QeltCreateFrame(QeltControllerSwitch* switcher, QWidget* parent)
    : QFrame(parent), m_form(std::make_unique<Ui::QeltCreateFrame>()), m_switch(switcher)
{
    if (!m_switch)
        throw std::runtime_error("[QeltCreateFrame] Controller switch is null");
    m_form->setupUi(this);
    m_pane = new TextEditPane(m_form->splitter, m_form->editor, m_form->preview, this);
    for (QPushButton* button :
         {m_form->but_take_qelt, m_form->but_upload_qelt, m_form->but_handwrite_qelt, m_form->but_create_qelt,
          m_form->but_show_list, m_form->but_show_pdf_converter, m_form->but_settings})
        button->setStyleSheet(utils::styles::flatButton());
    m_form->cb_markdown->setStyleSheet(utils::styles::radioGroup(0, 2));
    m_form->cb_latex->setStyleSheet(utils::styles::radioGroup(2, 19));
    m_form->but_save->setStyleSheet(utils::styles::primaryButton(12));
    m_form->lb_status->setStyleSheet(QStringLiteral("color: %1;").arg(Palette::grey.name()));

    connect(m_form->but_take_qelt, &QPushButton::clicked, this, &QeltCreateFrame::makeScreenshot);
    connect(m_form->but_upload_qelt, &QPushButton::clicked, this, &QeltCreateFrame::uploadQelt);
    connect(m_form->but_handwrite_qelt, &QPushButton::clicked, this, &QeltCreateFrame::handwriteQelt);
    connect(m_form->but_show_list, &QPushButton::clicked, this, &QeltCreateFrame::showQeltList);
    connect(m_form->but_show_pdf_converter, &QPushButton::clicked, this, &QeltCreateFrame::convertPDF);
    connect(m_form->but_settings, &QPushButton::clicked, this, &QeltCreateFrame::onSettingsClicked);
    connect(m_form->but_save, &QPushButton::clicked, this, &QeltCreateFrame::createQelt);
    connect(m_form->cb_markdown, &QRadioButton::toggled, this, &QeltCreateFrame::onModeSelected);
    connect(m_pane, &TextEditPane::textChanged, this, &QeltCreateFrame::updateButtons);
    // Only this page makes Qelts from text, so the library's next new one is the one asked for here.
    connect(m_switch->first(), &QeltsController::showCreatedQelt, this, &QeltCreateFrame::onQeltCreated);

    m_waitTimer.setSingleShot(true);
    m_waitTimer.setInterval(kCreateWaitMs);
    connect(&m_waitTimer, &QTimer::timeout, this, [this] {
        qWarning() << "[QeltCreateFrame] No Qelt arrived for the text sent";
        // The button works again, but a Qelt that still comes is taken as this text's.
        m_waiting = false;
        updateButtons();
        showStatus(tr("Your Qelt has not arrived yet. Your text is kept: you can try again."));
    });
    reset(true);
}

QeltCreateFrame::~QeltCreateFrame()
{
    // The preview's wrapper goes before the preview: the answers that a dying page still gives would
    // otherwise reach a view half torn down.
    delete m_pane;
}

void QeltCreateFrame::reset(bool markdown)
{
    stopWaiting();
    showStatus(QString());
    (markdown ? m_form->cb_markdown : m_form->cb_latex)->setChecked(true);
    m_pane->setMarkdown(markdown);
    m_pane->setText(QString());
    m_pane->expand();
    updateButtons();
    m_form->editor->setFocus();
}

bool QeltCreateFrame::isMarkdown() const
{
    return m_form->cb_markdown->isChecked();
}

void QeltCreateFrame::collapseEditPane()
{
    m_pane->collapse();
}

void QeltCreateFrame::createQelt()
{
    if (m_pane->isBlank() || (m_waiting && m_pane->text() == m_sentText))
        return;
    if (!APIHandler::isNetworkAvailable()) {
        showStatus(tr("No network connection. Your text is kept: try again when you are online."));
        return;
    }
    m_switch->setMode(0);
    m_sentText = m_pane->text();
    m_waiting = true;
    m_waitTimer.start();
    m_switch->first()->createTextQelt(m_sentText, isMarkdown());
    showStatus(tr("Creating your Qelt..."));
    updateButtons();
}

void QeltCreateFrame::onQeltCreated(const QString& qeltId)
{
    if (m_sentText.isEmpty())
        return;
    qInfo() << "[QeltCreateFrame] Created" << qeltId;
    const bool unchanged = m_pane->text() == m_sentText;
    stopWaiting();
    showStatus(QString());
    // What was typed after the Create click is another text, kept for another Qelt.
    if (unchanged)
        m_pane->setText(QString());
    updateButtons();
}

void QeltCreateFrame::onModeSelected()
{
    m_pane->setMarkdown(isMarkdown());
}

void QeltCreateFrame::onSettingsClicked()
{
    emit showContextMenu(authoring::menuPosition(m_form->but_settings));
}

void QeltCreateFrame::showEvent(QShowEvent* event)
{
    m_pane->expand();
    QFrame::showEvent(event);
}

void QeltCreateFrame::stopWaiting()
{
    m_waiting = false;
    m_sentText.clear();
    m_waitTimer.stop();
    updateButtons();
}

void QeltCreateFrame::updateButtons()
{
    m_form->but_save->setEnabled(!m_pane->isBlank() && !(m_waiting && m_pane->text() == m_sentText));
}

void QeltCreateFrame::showStatus(const QString& text)
{
    m_form->lb_status->setText(text);
    m_form->lb_status->setVisible(!text.isEmpty());
}
