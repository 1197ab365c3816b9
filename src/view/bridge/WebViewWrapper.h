#pragma once

#include "view/render/ContentInfo.h"

#include <QColor>
#include <QJsonObject>
#include <QObject>
#include <QPair>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <optional>

class QWebEngineView;
class QWidget;

// Drives one web view that shows the editor page: renders one text at a time, keeps the latest text
// that arrives meanwhile, and turns the page's replies into signals.
class WebViewWrapper : public QObject
{
    Q_OBJECT

public:
    enum Flag {
        Selectable = 1,
        ScrollBars = 2,
        // The result is processed 200 ms after it arrives, so a caller sees the page settled, with the
        // size the page has grown to by then.
        DelayedResult = 4,
        // A transparent cover takes the mouse while a text is applied.
        CoverWhileApplying = 8,
        CopyButton = 16,
    };

    // Throws std::runtime_error when view is null.
    WebViewWrapper(QWebEngineView* view, const QUrl& url, int flags);
    ~WebViewWrapper() override;

    bool isLoaded() const { return loaded; }
    bool isApplying() const { return applying; }

    void setLatex(const QString& latex, bool withWidth);
    void setText(const QString& text, bool withWidth);
    void setTextAligned(const QString& text, const QString& alignment);
    // Runs a text script now, or keeps it as the one waiting script.
    void apply(const QString& script, bool withWidth);
    // The number of the text handed over last (setLatex, setText, setTextAligned, apply), counting from 1;
    // the formats of a text carry its number.
    quint64 lastTextNumber() const { return textsGiven; }

    void setFontSize(int size);
    // Kept and applied again after the load, since a script run before it lands in the outgoing document.
    void setColors(const QColor& textColor, const QColor& backgroundColor, double fontSize);
    void getFormats();
    void runJavaScript(const QString& script, const std::function<void(const QVariant&)>& callback);
    QPixmap grab();

    static int defaultFontSize();
    static int defaultDelay();
    // How long DelayedResult waits; a test makes it long enough to look at the wrapper meanwhile.
    static void setResultDelayForTesting(int ms);

signals:
    void loadFinished();
    // The formats of the text numbered `textNumber`, the one rendered last when they were asked for.
    void getNonLatexFormats(QJsonObject obj, quint64 textNumber);
    void resultApplied(ContentInfo info);

public slots:
    void onApplied(ContentInfo info);
    void resizeCover();
    void hideCover();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onLoadFinished(bool ok);
    void runColors();
    void give(const QString& script, bool withWidth, quint64 number);
    void runText(const QString& script, bool withWidth);
    void onTextResult(const QVariant& result);
    void processResult(const QVariant& result);
    void finishResult(const ContentInfo& info);
    void failApplying(bool removeWidth);
    // Ends the applying period with info and starts the waiting text.
    void finishApplying(const ContentInfo& info);

    bool loaded = false;
    // The page could not be loaded (yet): every text is answered with an error at once, and the newest
    // one waits for a load that succeeds.
    bool loadFailed = false;
    QPointer<QWebEngineView> view;
    QString pendingScript;
    bool pendingWithWidth = false;
    quint64 pendingNumber = 0;
    quint64 applyingNumber = 0;
    quint64 renderedNumber = 0;
    bool applying = false;
    int flags = 0;
    int fontSize = 16;
    QPointer<QWidget> cover;
    // The last colours asked for, as text and background.
    std::optional<QPair<QColor, QColor>> colors;
    // Counts the texts handed over, to tell whether one came while resultApplied was emitted.
    quint64 textsGiven = 0;
};
