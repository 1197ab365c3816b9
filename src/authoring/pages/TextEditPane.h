#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QPlainTextEdit;
class QSplitter;
class QWebEngineView;
class WebViewWrapper;

// The editor and its live preview, shared by the create and edit pages: styles the two, and hands the
// editor's text to the editor page whenever the page can take it, so that the preview always ends on
// the latest text, however fast it is typed.
class TextEditPane : public QObject
{
    Q_OBJECT

public:
    // The editor's height while its page is shown; collapsed it takes one pixel.
    static constexpr int kEditorMinimumHeight = 120;

    TextEditPane(QSplitter* splitter, QPlainTextEdit* editor, QWebEngineView* preview, QObject* parent);
    ~TextEditPane() override;

    QString text() const;
    // Replaces the text as one step the user cannot undo into the previous text.
    void setText(const QString& text);
    // Whether the preview renders the text as Markdown or as one LaTeX formula.
    bool isMarkdown() const { return m_markdown; }
    void setMarkdown(bool markdown);
    // A text that holds nothing but white space.
    bool isBlank() const { return text().trimmed().isEmpty(); }

    void collapse();
    void expand();

    WebViewWrapper* wrapper() const { return m_wrapper.get(); }
    // What the preview was last given, and in which mode.
    QString shownText() const { return m_shown.text; }
    bool shownAsMarkdown() const { return m_shown.markdown; }

signals:
    void textChanged();
    // The preview finished rendering the text it was given last.
    void previewUpdated();

private:
    struct Content
    {
        QString text;
        bool markdown = true;
        bool operator==(const Content& other) const
        {
            return text == other.text && markdown == other.markdown;
        }
    };

    void refresh();

    QPlainTextEdit* m_editor;
    std::unique_ptr<WebViewWrapper> m_wrapper;
    bool m_markdown = true;
    // Nothing handed over yet: even an empty first text is rendered once, to settle the page.
    bool m_anyShown = false;
    Content m_shown;
};
