#include "dialogs/TutorialDialog.h"

#include "core/identity.h"
#include "core/shortcuts.h"
#include "core/userState.h"

#include "ui_TutorialDialog.h"

TutorialDialog::TutorialDialog(QWidget* parent)
    : QDialog(parent), m_form(std::make_unique<Ui::TutorialDialog>())
{
    m_form->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(utils::appIcon());

    const QString hotkey = utils::isShortcutEnabled(QStringLiteral("latex"))
                               ? utils::shortcuts::toText(utils::shortcutLatex(), true)
                               : QString();
    m_form->page_capture_text->setText(m_form->page_capture_text->text().arg(
        hotkey.isEmpty() ? tr("the capture hotkey")
                         : QStringLiteral("<b>%1</b>").arg(hotkey.toHtmlEscaped())));
    m_form->page_more_text->setText(m_form->page_more_text->text().arg(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(examplesUrl().toHtmlEscaped(), tr("the examples"))));

    connect(m_form->but_back, &QPushButton::clicked, this,
            [this] { showPage(m_form->stackedWidget->currentIndex() - 1); });
    connect(m_form->but_next, &QPushButton::clicked, this,
            [this] { showPage(m_form->stackedWidget->currentIndex() + 1); });
    connect(m_form->but_done, &QPushButton::clicked, this, &TutorialDialog::accept);
    showPage(0);
}

TutorialDialog::~TutorialDialog() = default;

QString TutorialDialog::examplesUrl()
{
    return utils::siteUrl() + QStringLiteral("/docs/qelt/examples");
}

void TutorialDialog::showPage(int index)
{
    const int count = m_form->stackedWidget->count();
    index = qBound(0, index, count - 1);
    m_form->stackedWidget->setCurrentIndex(index);
    m_form->lb_page->setText(QStringLiteral("%1 / %2").arg(index + 1).arg(count));
    m_form->but_back->setEnabled(index > 0);
    m_form->but_next->setVisible(index < count - 1);
    m_form->but_done->setVisible(index == count - 1);
    (index < count - 1 ? m_form->but_next : m_form->but_done)->setDefault(true);
}
