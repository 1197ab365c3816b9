#include "view/bridge/WebViewWrapper.h"

#include "api/APIHandler.h"
#include "view/render/editorScripts.h"

#include <QDebug>
#include <QEvent>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

namespace {

int resultDelayMs = 200;
// How often a text that waits for the page to ready something asks again.
constexpr int kSettlePollMs = 25;
// How often a wait for the page to draw asks: a frame is 16 ms.
constexpr int kDrawnPollMs = 8;

QDebug warn()
{
    return qWarning().noquote() << "[WebViewWrapper]";
}

bool isValue(const QVariant& result)
{
    return result.isValid() && !result.isNull();
}

} // namespace

WebViewWrapper::WebViewWrapper(QWebEngineView* view, const QUrl& url, int flags)
    : url(url), view(view), flags(flags), fontSize(defaultFontSize())
{
    if (!view)
        throw std::runtime_error("[WebViewWrapper] Web view is null");
    qRegisterMetaType<ContentInfo>("ContentInfo");
    if (flags & CoverWhileApplying) {
        cover = new QWidget(view);
        cover->setObjectName(QStringLiteral("applyingCover"));
        cover->hide();
    }
    view->installEventFilter(this);
    connect(view, &QWebEngineView::loadFinished, this, &WebViewWrapper::onLoadFinished);
    settleTimer.setSingleShot(true);
    settleTimer.setInterval(kSettlePollMs);
    connect(&settleTimer, &QTimer::timeout, this, &WebViewWrapper::pollSettled);
    drawnTimer.setSingleShot(true);
    drawnTimer.setInterval(kDrawnPollMs);
    connect(&drawnTimer, &QTimer::timeout, this, &WebViewWrapper::pollDrawn);
    // Nothing here touches the view's page: making one starts the web engine, and loading it a renderer.
    if (view->isVisible())
        load();
}

WebViewWrapper::~WebViewWrapper()
{
    delete cover.data();
}

void WebViewWrapper::load()
{
    if (loadStarted || !view)
        return;
    loadStarted = true;
    view->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, (flags & ScrollBars) != 0);
    view->settings()->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, true);
    view->page()->load(url);
}

void WebViewWrapper::setLatex(const QString& latex, bool withWidth)
{
    apply(editorScripts::latexScript(latex, flags & CopyButton), withWidth);
}

void WebViewWrapper::setText(const QString& text, bool withWidth)
{
    apply(editorScripts::markdownScript(text, flags & CopyButton), withWidth);
}

void WebViewWrapper::setTextAligned(const QString& text, const QString& alignment)
{
    apply(editorScripts::alignedTextScript(text, alignment), false);
}

void WebViewWrapper::apply(const QString& script, bool withWidth)
{
    give(script, withWidth, ++textsGiven);
}

void WebViewWrapper::give(const QString& script, bool withWidth, quint64 number)
{
    if (loadFailed) {
        // Nothing renders until the page loads after all; the caller still waits for an answer. The
        // newest text waits for that load.
        pendingScript = script;
        pendingWithWidth = withWidth;
        pendingNumber = number;
        QTimer::singleShot(0, this, [this] { onApplied(ContentInfo()); });
        return;
    }
    if (!loaded || applying) {
        pendingScript = script;
        pendingWithWidth = withWidth;
        pendingNumber = number;
        load();
        return;
    }
    applying = true;
    applyingNumber = number;
    applyingScript = script;
    applyingWithWidth = withWidth;
    settleChecked = false;
    if (cover)
        resizeCover();
    runText(script, withWidth);
}

void WebViewWrapper::runText(const QString& script, bool withWidth)
{
    if (!withWidth) {
        execute(script, [this](const QVariant& result) { onTextResult(result); });
        return;
    }
    execute(editorScripts::forceWidthScript(), [this, script](const QVariant& widthResult) {
        if (!isValue(widthResult)) {
            warn() << "Failed to set the content width, result:" << widthResult;
            failApplying(true);
            return;
        }
        // The page runs scripts in order: the text is laid out at the forced width, which goes again
        // before anything else runs.
        execute(script, [this](const QVariant& result) { onTextResult(result); });
        execute(editorScripts::removeWidthScript(), {});
    });
}

void WebViewWrapper::onTextResult(const QVariant& result)
{
    // A forced width is gone already: its removal ran right after the text.
    if (!isValue(result)) {
        warn() << "No valid result:" << result;
        failApplying(false);
        return;
    }
    if (settleChecked) {
        deliver(result);
        return;
    }
    checkSettled(result);
}

void WebViewWrapper::checkSettled(const QVariant& result)
{
    execute(editorScripts::settledScript(), [this, result](const QVariant& settled) {
        // Only a plain "not yet" waits: a page without the question has nothing to ready.
        if (settled != QVariant(false)) {
            settleChecked = true;
            deliver(result);
            return;
        }
        settleClock.start();
        settleTimer.start();
    });
}

void WebViewWrapper::pollSettled()
{
    execute(editorScripts::settledScript(), [this](const QVariant& settled) {
        if (settled == QVariant(false) && !settleClock.hasExpired(kSettleTimeoutMs)) {
            settleTimer.start();
            return;
        }
        if (settled == QVariant(false))
            warn() << "The page readied nothing for the text within" << kSettleTimeoutMs << "ms";
        // Once more, now that the page has what the text needs; its answer is the one that counts.
        settleChecked = true;
        runText(applyingScript, applyingWithWidth);
    });
}

void WebViewWrapper::deliver(const QVariant& result)
{
    if (!(flags & DelayedResult)) {
        processResult(result);
        return;
    }
    QTimer::singleShot(resultDelayMs, Qt::PreciseTimer, this, [this, result] { processResult(result); });
}

void WebViewWrapper::processResult(const QVariant& result)
{
    if (!(flags & DelayedResult)) {
        finishResult(ContentInfo::fromReply(result));
        return;
    }
    // Settled, the page may have grown since it answered: faces swapped in, images decoded.
    runJavaScript(editorScripts::contentSizeScript(), [this, result](const QVariant& laidOut) {
        finishResult(ContentInfo::fromReplies(result, laidOut));
    });
}

void WebViewWrapper::finishResult(const ContentInfo& info)
{
    applying = false;
    renderedNumber = applyingNumber;
    getFormats();
    finishApplying(info);
}

void WebViewWrapper::failApplying(bool removeWidth)
{
    if (removeWidth)
        execute(editorScripts::removeWidthScript(), {});
    applying = false;
    finishApplying(ContentInfo());
}

void WebViewWrapper::finishApplying(const ContentInfo& info)
{
    // A text handed over by a receiver of the signal is newer than the one that waited.
    const QString next = std::exchange(pendingScript, QString());
    const bool nextWithWidth = pendingWithWidth;
    const quint64 nextNumber = pendingNumber;
    const quint64 given = textsGiven;
    QPointer<WebViewWrapper> alive(this);
    onApplied(info);
    if (!alive || next.isEmpty() || textsGiven != given)
        return;
    give(next, nextWithWidth, nextNumber);
}

void WebViewWrapper::setFontSize(int size)
{
    fontSize = size;
    if (loaded)
        execute(editorScripts::fontSizeScript(size), {});
}

void WebViewWrapper::setColors(const QColor& textColor, const QColor& backgroundColor, double fontSize)
{
    colors = qMakePair(textColor, backgroundColor);
    if (loaded)
        runColors();
    if (std::isfinite(fontSize))
        setFontSize(static_cast<int>(qBound(double(std::numeric_limits<int>::min()), std::trunc(fontSize),
                                            double(std::numeric_limits<int>::max()))));
}

void WebViewWrapper::runColors()
{
    if (colors)
        execute(editorScripts::colorScript(colors->first, colors->second), {});
}

void WebViewWrapper::getFormats()
{
    if (!loaded)
        return;
    execute(editorScripts::formatsScript(), [this, number = renderedNumber](const QVariant& result) {
        if (const auto formats = editorScripts::formatsFromReply(result))
            emit getNonLatexFormats(*formats, number);
    });
}

void WebViewWrapper::runJavaScript(const QString& script,
                                   const std::function<void(const QVariant&)>& callback)
{
    if (!loaded) {
        // Run now, it would land in the page that the load replaces.
        waitingScripts.emplace_back(script, callback);
        load();
        return;
    }
    execute(script, callback);
}

void WebViewWrapper::execute(const QString& script, const Callback& callback)
{
    if (!view)
        return;
    if (!callback) {
        view->page()->runJavaScript(script);
        return;
    }
    // The page answers later; this wrapper may be gone by then.
    QPointer<WebViewWrapper> self(this);
    view->page()->runJavaScript(script, [self, callback](const QVariant& result) {
        if (self)
            callback(result);
    });
}

QPixmap WebViewWrapper::grab()
{
    return view ? view->grab() : QPixmap();
}

void WebViewWrapper::whenDrawn(QObject* context, std::function<void()> done)
{
    if (!view || !context)
        return;
    drawnWaiters.emplace_back(context, std::move(done));
    // Counted afresh from now, at the size the view has now, for everyone who waits.
    runJavaScript(editorScripts::drawnWatchScript(view->size()), {});
    drawnTimer.start();
}

void WebViewWrapper::pollDrawn()
{
    drawnWaiters.erase(std::remove_if(drawnWaiters.begin(), drawnWaiters.end(),
                                      [](const auto& waiter) { return waiter.first.isNull(); }),
                       drawnWaiters.end());
    if (drawnWaiters.empty())
        return;
    runJavaScript(editorScripts::drawnScript(), [this](const QVariant& drawn) {
        if (drawn != QVariant(true)) {
            drawnTimer.start();
            return;
        }
        QPointer<WebViewWrapper> alive(this);
        for (auto& [context, done] : std::exchange(drawnWaiters, {})) {
            if (context && alive)
                done();
        }
    });
}

void WebViewWrapper::onApplied(ContentInfo info)
{
    hideCover();
    emit resultApplied(info);
}

void WebViewWrapper::resizeCover()
{
    if (!cover || !view)
        return;
    cover->setGeometry(0, 0, view->width(), view->height());
    cover->raise();
    cover->show();
}

bool WebViewWrapper::eventFilter(QObject* watched, QEvent* event)
{
    // A view shown only for a moment (its tab current while the tabs are rebuilt) needs no page: it
    // loads when it is still shown once the event at hand has been handled.
    if (watched == view && event->type() == QEvent::Show && loadsWhenShown && !loadStarted) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (view && view->isVisible() && loadsWhenShown)
                    load();
            },
            Qt::QueuedConnection);
    }
    // The cover keeps covering the whole view when the view is resized while a text is applied.
    if (watched == view && event->type() == QEvent::Resize && cover && cover->isVisible())
        cover->resize(view->size());
    return QObject::eventFilter(watched, event);
}

void WebViewWrapper::hideCover()
{
    if (cover)
        cover->hide();
}

void WebViewWrapper::onLoadFinished(bool ok)
{
    // Only a load of the editor page counts: whatever else the view showed before is no page of ours.
    if (!loadStarted)
        return;
    if (!ok) {
        const QString message = QStringLiteral("Failed to load WebPage");
        warn() << message;
        APIHandler::log(message, QStringLiteral("warn"), QString());
        loadFailed = !loaded;
        QPointer<WebViewWrapper> alive(this);
        if (loadFailed && !pendingScript.isEmpty())
            onApplied(ContentInfo()); // and the text keeps waiting, for a load that may yet succeed
        if (alive)
            emit loadEnded(false);
        return;
    }
    loadFailed = false;
    execute(editorScripts::bodyStyleScript(flags & Selectable), {});
    execute(editorScripts::fontSizeScript(fontSize), [](const QVariant& result) {
        if (result != QVariant(true))
            warn() << "Failed set font, result:" << result;
    });
    runColors();
    loaded = true;
    for (const auto& [script, callback] : std::exchange(waitingScripts, {}))
        execute(script, callback);
    QPointer<WebViewWrapper> alive(this);
    emit loadFinished();
    if (!alive)
        return;
    if (!applying && !pendingScript.isEmpty())
        give(std::exchange(pendingScript, QString()), pendingWithWidth, pendingNumber);
    if (alive)
        emit loadEnded(true);
}

int WebViewWrapper::defaultFontSize()
{
    return editorScripts::kDefaultFontSize;
}

int WebViewWrapper::defaultDelay()
{
    return 200;
}

void WebViewWrapper::setResultDelayForTesting(int ms)
{
    resultDelayMs = ms;
}
