#pragma once

#include <QFrame>
#include <QPixmap>
#include <QString>

#include <memory>

namespace Ui {
class QeltChatItemFrame;
}

// One bubble of the chat about a Qelt: the Qelt's picture, the user's question (plain text, on the right)
// or the service's answer (Markdown, beside the avatar, with a copy button).
class QeltChatItemFrame : public QFrame
{
    Q_OBJECT

public:
    explicit QeltChatItemFrame(QWidget* parent = nullptr);
    ~QeltChatItemFrame() override;

    // The picture fitted into 500 x 500 with rounded corners; an empty picture leaves the bubble's as it was.
    void setImage(const QPixmap& pixmap);
    void setResponse(const QString& text);
    void setPrompt(const QString& text);
    // An answer in red.
    void setError(const QString& text);
    void setCopyButtonVisible(bool visible);

    static QeltChatItemFrame* createImageItem(QWidget* parent, const QPixmap& pixmap);
    static QeltChatItemFrame* createResponseItem(QWidget* parent, const QString& text);
    static QeltChatItemFrame* createPromptItem(QWidget* parent, const QString& text);
    static QeltChatItemFrame* createErrorItem(QWidget* parent, const QString& text);

    // What the bubble shows: its picture's size, its question, its answer.
    QSize imageSize() const;
    QString promptText() const;
    QString responseText() const;

public slots:
    void copyResponseData();

private:
    std::unique_ptr<Ui::QeltChatItemFrame> ui;
    // The picture drawn last, by its cache key.
    qint64 drawnKey = 0;
};
