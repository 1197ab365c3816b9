#include "view/chat/ui/QeltChatItemFrame.h"

#include "core/images.h"
#include "core/ui/styles.h"
#include "view/chat/chatReplies.h"

#include "ui_QeltChatItemFrame.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>

namespace {

constexpr int kRadius = 8;
constexpr int kNoWidth = 0;
constexpr int kAnyWidth = 16777214;

} // namespace

QeltChatItemFrame::QeltChatItemFrame(QWidget* parent)
    : QFrame(parent), ui(std::make_unique<Ui::QeltChatItemFrame>())
{
    ui->setupUi(this);
    ui->copyBtn->setStyleSheet(utils::styles::paddedFlatButton());
    connect(ui->copyBtn, &QPushButton::clicked, this, &QeltChatItemFrame::copyResponseData);
}

QeltChatItemFrame::~QeltChatItemFrame() = default;

void QeltChatItemFrame::setImage(const QPixmap& pixmap)
{
    ui->promptWidget->show();
    ui->prompt->setMaximumWidth(kNoWidth);
    ui->zorvaneWidget->show();
    ui->qeltImageWidget->show();
    ui->responseWidget->hide();

    const QSize size = chatReplies::fittedImageSize(pixmap.size());
    // The page hands the same picture again at every rescale of its own labels.
    if (pixmap.isNull() || !size.isValid() || pixmap.cacheKey() == drawnKey)
        return;
    drawnKey = pixmap.cacheKey();
    const QPixmap scaled = pixmap.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPixmap rounded(size);
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.setClipRegion(utils::roundedRegion(size, kRadius));
    painter.drawPixmap(0, 0, scaled);
    painter.setClipping(false);
    painter.setPen(QColor(QStringLiteral("#C1C3CB")));
    painter.drawRoundedRect(QRectF(0, 0, size.width(), size.height()), kRadius, kRadius);
    painter.end();
    ui->qeltImage->setPixmap(rounded);
}

void QeltChatItemFrame::setResponse(const QString& text)
{
    ui->promptWidget->hide();
    ui->zorvaneWidget->show();
    ui->qeltImageWidget->hide();
    ui->responseWidget->show();
    ui->response->setText(text);
}

void QeltChatItemFrame::setPrompt(const QString& text)
{
    ui->promptWidget->show();
    ui->prompt->setMaximumWidth(kAnyWidth);
    ui->zorvaneWidget->hide();
    ui->prompt->setText(text);
}

void QeltChatItemFrame::setError(const QString& text)
{
    setResponse(text);
    ui->response->setStyleSheet(QStringLiteral("QLabel{ padding: 0 0 5px 5px; color:red; }"));
    ui->response->repaint();
}

void QeltChatItemFrame::setCopyButtonVisible(bool visible)
{
    ui->copyBtn->setVisible(visible);
}

QeltChatItemFrame* QeltChatItemFrame::createImageItem(QWidget* parent, const QPixmap& pixmap)
{
    auto* item = new QeltChatItemFrame(parent);
    item->setImage(pixmap);
    return item;
}

QeltChatItemFrame* QeltChatItemFrame::createResponseItem(QWidget* parent, const QString& text)
{
    auto* item = new QeltChatItemFrame(parent);
    item->setResponse(text);
    return item;
}

QeltChatItemFrame* QeltChatItemFrame::createPromptItem(QWidget* parent, const QString& text)
{
    auto* item = new QeltChatItemFrame(parent);
    item->setPrompt(text);
    return item;
}

QeltChatItemFrame* QeltChatItemFrame::createErrorItem(QWidget* parent, const QString& text)
{
    auto* item = new QeltChatItemFrame(parent);
    item->setError(text);
    return item;
}

QSize QeltChatItemFrame::imageSize() const
{
    const QPixmap pixmap = ui->qeltImage->pixmap(Qt::ReturnByValue);
    return pixmap.isNull() ? QSize() : pixmap.size();
}

QString QeltChatItemFrame::promptText() const
{
    return ui->prompt->text();
}

QString QeltChatItemFrame::responseText() const
{
    return ui->response->text();
}

void QeltChatItemFrame::copyResponseData()
{
    QGuiApplication::clipboard()->setText(ui->response->text(), QClipboard::Clipboard);
}
