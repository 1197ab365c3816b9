#pragma once

#include "view/render/ContentInfo.h"

#include <QColor>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QPair>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

class QWebEngineView;
class QWidget;

// Drives one web view that shows the editor page: renders one text at a time, keeps the latest text
// that arrives meanwhile, and turns the page's replies into signals. The page is loaded when it is first
// needed: when the view is first shown, or first given a text or a script. Until then the view costs no
// renderer, and what it is given waits for the load.
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

    // Throws std::runtime_error when view is null. Loads nothing yet, unless the view is on the screen.
    WebViewWrapper(QWebEngineView* view, const QUrl& url, int flags);
    ~WebViewWrapper() override;

    // Starts loading the page unless that was done already; a caller that knows the page is about to be
    // needed calls it ahead.
    void load();
    bool isLoadStarted() const { return loadStarted; }
    // Asked for, and neither loaded nor failed yet.
    bool isLoading() const { return loadStarted && !loaded && !loadFailed; }
    // Whether showing the view loads its page (the default); a view kept off the screen only to be
    // grabbed loads when given a text.
    void setLoadsWhenShown(bool loads) { loadsWhenShown = loads; }

    bool isLoaded() const { return loaded; }
    bool isApplying() const { return applying; }
    // A text is being rendered, or waits for the load or for the text before it; a text that waits for a
    // load that failed is not on its way.
    bool hasTextOnItsWay() const { return applying || (!pendingScript.isEmpty() && !loadFailed); }

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
    // Runs at once when the page is loaded; before that the script waits, in order, for the load.
    void runJavaScript(const QString& script, const std::function<void(const QVariant&)>& callback);
    QPixmap grab();
    // Runs `done` once the page has drawn frames at the view's present size, so that the view shows the
    // page as it is now: on a window just coming on the screen, not blank, nor the page at an old size. A
    // page draws only while its view is shown (or readied as shown): elsewhere this waits until
    // `context` is gone, which bounds the wait. Nothing runs once `context` is gone.
    void whenDrawn(QObject* context, std::function<void()> done);

    static int defaultFontSize();
    static int defaultDelay();
    // How long DelayedResult waits; a test makes it long enough to look at the wrapper meanwhile.
    static void setResultDelayForTesting(int ms);
    // How long a text waits for what the page readies for it before it is taken as it was rendered.
    static constexpr int kSettleTimeoutMs = 60000;

signals:
    void loadFinished();
    // The page's load is over, loaded or not; a text that waited for it is on its way to the page by then.
    void loadEnded(bool ok);
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
    using Callback = std::function<void(const QVariant&)>;

    void onLoadFinished(bool ok);
    void runColors();
    void give(const QString& script, bool withWidth, quint64 number);
    void runText(const QString& script, bool withWidth);
    // Runs on the page as it is, loaded or not.
    void execute(const QString& script, const Callback& callback);
    void onTextResult(const QVariant& result);
    // Whether the page has readied what the text just rendered needs; when not, sets it again once it has.
    void checkSettled(const QVariant& result);
    void pollSettled();
    void pollDrawn();
    void deliver(const QVariant& result);
    void processResult(const QVariant& result);
    void finishResult(const ContentInfo& info);
    void failApplying(bool removeWidth);
    // Ends the applying period with info and starts the waiting text.
    void finishApplying(const ContentInfo& info);

    QUrl url;
    bool loadStarted = false;
    bool loadsWhenShown = true;
    bool loaded = false;
    // Scripts given before the load, with their callbacks, in order.
    std::vector<std::pair<QString, Callback>> waitingScripts;
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
    // The text script being applied, to set again once the page has readied what it needs.
    QString applyingScript;
    bool applyingWithWidth = false;
    bool settleChecked = false;
    QTimer settleTimer;
    QElapsedTimer settleClock;
    int flags = 0;
    int fontSize = 16;
    QPointer<QWidget> cover;
    // The last colours asked for, as text and background.
    std::optional<QPair<QColor, QColor>> colors;
    // Counts the texts handed over, to tell whether one came while resultApplied was emitted.
    quint64 textsGiven = 0;
    // Who waits for the page to draw at the view's size, and the poll that asks it.
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> drawnWaiters;
    QTimer drawnTimer;
};
