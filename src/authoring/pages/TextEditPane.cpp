#include "authoring/pages/TextEditPane.h"

#include "core/ui/fonts.h"
#include "core/ui/styles.h"
#include "view/bridge/WebViewWrapper.h"

#include <QPlainTextEdit>
#include <QSplitter>
#include <QWebEngineView>

TextEditPane::TextEditPane(QSplitter* splitter, QPlainTextEdit* editor, QWebEngineView* preview,
                           QObject* parent)
    : QObject(parent), m_editor(editor),
      m_wrapper(std::make_unique<WebViewWrapper>(preview, utils::editorPageUrl(), WebViewWrapper::ScrollBars))
{
    splitter->setStyleSheet(utils::styles::splitter());
    editor->setStyleSheet(utils::styles::plainTextEdit());
    utils::markAsCodeHolder(editor);
    // Plain text in, plain text out: a paste keeps no formatting, and tabs are typed, not focus moves.
    editor->setTabChangesFocus(false);
    editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    expand();

    connect(editor, &QPlainTextEdit::textChanged, this, [this] {
        emit textChanged();
        refresh();
    });
    connect(m_wrapper.get(), &WebViewWrapper::loadFinished, this, &TextEditPane::refresh);
    connect(m_wrapper.get(), &WebViewWrapper::resultApplied, this, [this] {
        if (Content{text(), m_markdown} == m_shown)
            emit previewUpdated();
        refresh();
    });
}

TextEditPane::~TextEditPane() = default;

QString TextEditPane::text() const
{
    return m_editor->toPlainText();
}

void TextEditPane::setText(const QString& text)
{
    m_editor->setPlainText(text);
    m_editor->moveCursor(QTextCursor::End);
}

void TextEditPane::setMarkdown(bool markdown)
{
    if (m_markdown == markdown)
        return;
    m_markdown = markdown;
    refresh();
}

void TextEditPane::collapse()
{
    m_editor->setMinimumHeight(1);
}

void TextEditPane::expand()
{
    m_editor->setMinimumHeight(kEditorMinimumHeight);
}

void TextEditPane::refresh()
{
    // The page takes a text only when it is idle; a text typed meanwhile waits for its answer.
    if (!m_wrapper->isLoaded() || m_wrapper->isApplying())
        return;
    const Content wanted{text(), m_markdown};
    if (m_anyShown && wanted == m_shown)
        return;
    m_anyShown = true;
    m_shown = wanted;
    if (wanted.markdown)
        m_wrapper->setText(wanted.text, false);
    else
        m_wrapper->setLatex(wanted.text, false);
}
