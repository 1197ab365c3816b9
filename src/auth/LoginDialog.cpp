#include "auth/LoginDialog.h"

#include "core/identity.h"
#include "core/settings.h"
#include "core/ui/styles.h"

#include "ui_LoginDialog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>

LoginDialog::LoginDialog(bool loginFirst, QWidget* parent)
    : QDialog(parent), m_form(std::make_unique<Ui::LoginDialog>())
{
    m_form->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(utils::appIcon());
    m_form->but_log_in->setStyleSheet(utils::styles::primaryButton(16));
    m_form->but_create_account->setStyleSheet(utils::styles::primaryButton(16));
    m_form->lb_error->hide();

    connect(m_form->but_log_in, &QPushButton::clicked, this,
            [this] { startBrowserSignIn(LoginFlow::Page::Login); });
    connect(m_form->but_create_account, &QPushButton::clicked, this,
            [this] { startBrowserSignIn(LoginFlow::Page::SignUp); });
    for (QLabel* label : {m_form->lb_forgot, m_form->lb_to_signup, m_form->lb_to_login})
        connect(label, &QLabel::linkActivated, this, &LoginDialog::onLink);
    connect(m_form->but_open_again, &QPushButton::clicked, this, [this] { m_flow.openBrowserAgain(); });
    connect(m_form->but_cancel, &QPushButton::clicked, this, [this] {
        m_flow.cancel();
        showPage(m_startPage);
    });

    connect(&m_flow, &LoginFlow::browserOpened, this,
            [this](const QUrl& url) { m_form->lb_wait_url->setText(url.toString()); });
    connect(&m_flow, &LoginFlow::troubled, m_form->lb_trouble, &QLabel::setText);
    connect(&m_flow, &LoginFlow::failed, this, [this](const QString& message) {
        showPage(m_startPage);
        showError(message);
    });
    connect(&m_flow, &LoginFlow::loggedIn, this, [this](const QString& email, const QString& token) {
        m_signedIn = true;
        emit loggedIn(email, token);
        accept();
    });

    m_startPage = loginFirst ? m_form->page_login : m_form->page_signup;
    showPage(m_startPage);
}

LoginDialog::~LoginDialog() = default;

void LoginDialog::done(int result)
{
    m_flow.cancel();
    // Without a tray icon this window is the program's only one: closing it unsigned ends the program.
    if (!m_signedIn && !kKeySystemTrayAvailable.get()) {
        qInfo().noquote() << "[LoginDialog] Closed without signing in and without a tray: quitting";
        QCoreApplication::quit();
    }
    QDialog::done(result);
}

void LoginDialog::startBrowserSignIn(LoginFlow::Page page)
{
    m_startPage = page == LoginFlow::Page::Login ? m_form->page_login : m_form->page_signup;
    m_form->lb_wait_url->clear();
    m_form->lb_trouble->clear();
    showPage(m_form->page_wait);
    m_flow.start(page);
}

void LoginDialog::showPage(QWidget* page)
{
    m_form->lb_error->hide();
    m_form->stackedWidget->setCurrentWidget(page);
}

void LoginDialog::showError(const QString& message)
{
    m_form->lb_error->setText(message);
    m_form->lb_error->show();
}

void LoginDialog::onLink(const QString& link)
{
    if (link == QLatin1String("reset"))
        QDesktopServices::openUrl(LoginFlow::resetPasswordUrl());
    else if (link == QLatin1String("signup"))
        showPage(m_startPage = m_form->page_signup);
    else if (link == QLatin1String("login"))
        showPage(m_startPage = m_form->page_login);
}
