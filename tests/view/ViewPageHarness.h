#pragma once

#include "api/APIHandler.h"
#include "api/Provider.h"
#include "core/identity.h"
#include "core/userState.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "support/FakeService.h"
#include "support/TestEnvironment.h"
#include "support/pictures.h"
#include "view/bridge/WebViewWrapper.h"
#include "view/page/QeltViewFrame.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>
#include <memory>

namespace zq::test {

constexpr int kPageTimeoutMs = kWaitMs;

// Waits in a running event loop until the predicate holds or the time is up; the editor page's engine
// works on that loop and makes little headway when the loop is left between checks.
template <typename Predicate> bool waitUntil(Predicate predicate, int timeoutMs = kPageTimeoutMs)
{
    if (predicate())
        return true;
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (predicate() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(10);
    loop.exec();
    return predicate();
}

// A view page on two real controllers, in a window of its own, with the fake service serving the Qelts'
// images and taking the usage events. The window plays the main window's part for sizes: it clears the
// flag that each size report carries.
struct ViewPageHarness
{
    QNetworkAccessManager manager;
    FakeService service;
    QeltsController library{nullptr, &manager};
    QeltsController search{nullptr, &manager};
    QeltControllerSwitch switcher{&library, &search};
    QWidget window;
    QeltViewFrame* page = nullptr;
    QWidget other;
    int sizeReports = 0;

    ViewPageHarness()
    {
        APIHandler::init(&manager);
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        APIHandler::setLogFlushIntervalForTesting(3'600'000);
        utils::overrideBaseUrlsForTesting(service.baseUrl());
        utils::overrideGatewayUrlForTesting(service.baseUrl());
        ZorvaneAPI::Provider::instance().setAccount(QStringLiteral("someone@example.org"),
                                                    QStringLiteral("t0k"));
        // The views hold each result back a moment for the page to settle; the tests need not wait that long.
        WebViewWrapper::setResultDelayForTesting(20);
        service.on("POST", "/v1/logs", Reply::json(QJsonObject()));
        service.on("GET", "/img/*", Reply::raw(zq::test::png(QSize(60, 30)), "image/png"));
        service.on("POST", "/v1/solve", Reply::json(QJsonObject{{"summary", "x = 1"}}));
        // Every Qelt shown asks for its chat.
        service.on("GET", "/v4/qelts/*", Reply::json(QJsonObject{{"data", QJsonArray()}}));
        page = new QeltViewFrame(&switcher, &window);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(page);
        window.resize(900, 760);
        QObject::connect(page, &QeltViewFrame::UpdateSize, [this](QSize, QSize, bool* handled) {
            ++sizeReports;
            *handled = false;
        });
        window.show();
        if (!QTest::qWaitForWindowExposed(&window, kWaitMs))
            qWarning("The view page window was not exposed");
    }

    ~ViewPageHarness()
    {
        delete page;
        APIHandler::overrideNetworkAvailabilityForTesting(std::nullopt);
        utils::overrideBaseUrlsForTesting(QString());
        utils::overrideGatewayUrlForTesting(QString());
    }

    // A Qelt of the library; created one second after the one before, so that the order is the adding one.
    ZorvaneQeltPtr add(const QString& id, const QString& latex, const QString& text, bool original = true)
    {
        static qint64 created = 1'700'000'000;
        created += 1;
        auto qelt = std::make_shared<ZorvaneQelt>(id, created + 5, created);
        qelt->latex = latex;
        qelt->text = text;
        qelt->confidence = 0.9;
        if (original)
            qelt->originalImageUrl =
                service.baseUrl() + QStringLiteral("/img/") + id + QStringLiteral(".png");
        library.addQelt(qelt, true);
        return qelt;
    }

    template <typename T> T* widget(const char* name) const
    {
        return page->findChild<T*>(QString::fromLatin1(name));
    }

    QTabWidget* tabs() const { return widget<QTabWidget>("tab_scanResult"); }
    QString currentTab() const { return tabs()->tabText(tabs()->currentIndex()); }
    QStringList tabTitles() const
    {
        QStringList titles;
        for (int i = 0; i < tabs()->count(); ++i)
            titles << tabs()->tabText(i);
        return titles;
    }

    // The fields of the rows in a rows widget, in row order.
    QList<QLineEdit*> rows(const char* container) const
    {
        return widget<QWidget>(container)->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly);
    }
    QStringList rowTexts(const char* container) const
    {
        QStringList texts;
        for (const QLineEdit* field : rows(container))
            texts << field->text();
        return texts;
    }
    QList<QLineEdit*> ocrRows() const { return rows("latexresult_widget"); }
    QList<QLineEdit*> dataRows() const { return rows("scrollAreaWidgetContents"); }
    QList<QLineEdit*> originalRows() const { return rows("urlresult_widget"); }
    // The group titles of the Data tab, in order.
    QStringList dataTitles() const
    {
        QStringList titles;
        for (const QLabel* label : widget<QWidget>("scrollAreaWidgetContents")
                                       ->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
            titles << label->text();
        return titles;
    }
    // The buttons of a row, in order: copy, then edit and search where the row has them.
    static QList<QPushButton*> rowButtons(QLineEdit* field)
    {
        const std::function<QLayout*(QLayout*)> rowOf = [&rowOf, field](QLayout* layout) -> QLayout* {
            if (layout->indexOf(field) >= 0)
                return layout;
            for (int i = 0; i < layout->count(); ++i) {
                if (QLayout* inner =
                        layout->itemAt(i)->layout() ? rowOf(layout->itemAt(i)->layout()) : nullptr)
                    return inner;
            }
            return nullptr;
        };
        QList<QPushButton*> buttons;
        if (QLayout* row = rowOf(field->parentWidget()->layout())) {
            for (int i = row->indexOf(field) + 1; i < row->count(); ++i)
                buttons << qobject_cast<QPushButton*>(row->itemAt(i)->widget());
        }
        return buttons;
    }
    // The result view renders nothing: its cover, up while a text is applied, is down.
    bool idle() const
    {
        const QWidget* cover = widget<QWidget>("web")->findChild<QWidget*>(QStringLiteral("applyingCover"));
        return cover && cover->isHidden();
    }
    // Idle, and the page has taken in every result the views sent: they travel queued, so a hidden cover
    // alone does not say that the page has seen the last one.
    bool drained() const
    {
        if (!idle())
            return false;
        QCoreApplication::sendPostedEvents(page, QEvent::MetaCall);
        return idle();
    }
    static bool badgeShown(const QLineEdit* field)
    {
        const QLabel* badge = field->findChild<QLabel*>();
        return badge && !badge->isHidden();
    }

    // Shows the Qelt on the OCR tab with `ocrRow` remembered (-1: the rows remembered now), and waits until
    // the page has its formats and has selected (and so copied) that entry again, as it does for every
    // Qelt it shows.
    bool showSettled(const ZorvaneQeltPtr& qelt, int ocrRow = 3)
    {
        // A Qelt shown while the view renders waits for it: start from a quiet view.
        if (!waitUntil([this] { return drained(); }))
            return false;
        if (ocrRow >= 0)
            utils::setRowMemory({ocrRow, 0, 0});
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("settling"));
        page->ShowQelt(qelt);
        return waitUntil([this, clipboard, id = qelt->id] {
            return page->currentQeltId() == id && clipboard->text() != QLatin1String("settling") && drained();
        });
    }

    // The text of the message box that `action` opens, which is then closed; empty when none opened.
    static QString boxOpenedBy(const std::function<void()>& action)
    {
        QString text;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&text, &closer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                text = box->text();
                box->done(QMessageBox::Ok);
                closer.stop();
            }
        });
        closer.start(10);
        action();
        return text;
    }

    // The usage events sent so far, after the waiting ones are sent.
    QList<QJsonObject> events(const QString& name)
    {
        APIHandler::flushLogsNow();
        QList<QJsonObject> found;
        for (const RecordedRequest& request : service.requestsTo(QStringLiteral("/v1/logs"))) {
            for (const QJsonValue& record : request.json().value("logs").toArray()) {
                if (record.toObject().value("event").toString() == name)
                    found << record.toObject().value("data").toObject();
            }
        }
        return found;
    }
};

} // namespace zq::test
