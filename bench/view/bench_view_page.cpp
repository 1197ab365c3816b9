// Times the view page in a real web engine: from ShowQelt of a recognised formula to the result reported
// drawn and the Data rows filled with the editor page's formats, for a Qelt new to the page and for going
// back and forth between two Qelts. The baseline is the same formula rendered by a bare editor view with
// its formats, in the same run; the page's share is the ratio. Each is timed with the views' settling
// delay (200 ms, which every result waits) and without it. Prints medians of repeated runs.

#include "api/APIHandler.h"
#include "core/identity.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "support/FakeService.h"
#include "support/TestEnvironment.h"
#include "view/bridge/WebViewWrapper.h"
#include "view/page/QeltViewFrame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

constexpr int kRuns = 15;
const QString kFormula = QStringLiteral("x = \\frac{-b \\pm \\sqrt{b^2-4ac}}{2a}");
const QUrl kPage(QStringLiteral("qrc:/html/zorvane_qelting_editor.html"));

// Runs the event loop until `done` holds; false after a minute.
bool waitUntil(const std::function<bool()>& done)
{
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() > 60000)
            loop.quit();
    });
    poll.start(1);
    loop.exec();
    return done();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

struct Page
{
    QNetworkAccessManager manager;
    zq::test::FakeService service;
    QeltsController library{nullptr, &manager};
    QeltsController search{nullptr, &manager};
    QeltControllerSwitch switcher{&library, &search};
    QWidget window;
    QeltViewFrame* page;
    int reports = 0;
    int serial = 0;

    Page()
    {
        APIHandler::init(&manager);
        utils::overrideBaseUrlsForTesting(service.baseUrl());
        utils::overrideGatewayUrlForTesting(service.baseUrl());
        page = new QeltViewFrame(&switcher, &window);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(page);
        window.resize(900, 760);
        QObject::connect(page, &QeltViewFrame::UpdateSize, [this](QSize, QSize, bool* handled) {
            ++reports;
            *handled = false;
        });
        window.show();
    }

    ZorvaneQeltPtr add(const QString& latex)
    {
        const qint64 created = 1'700'000'000 + ++serial;
        auto qelt = std::make_shared<ZorvaneQelt>(QStringLiteral("q%1").arg(serial), created + 5, created);
        qelt->latex = latex;
        qelt->text = QLatin1Char('$') + latex + QLatin1Char('$');
        qelt->confidence = 0.93;
        library.addQelt(qelt, true);
        return qelt;
    }

    bool dataFilled() const
    {
        return !page->findChild<QWidget*>(QStringLiteral("scrollAreaWidgetContents"))
                    ->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly)
                    .isEmpty();
    }

    // Milliseconds from ShowQelt to the result's size report and the Data rows; negative when they never
    // came.
    double show(const ZorvaneQeltPtr& qelt)
    {
        const int before = reports;
        QElapsedTimer clock;
        clock.start();
        page->ShowQelt(qelt);
        if (!waitUntil([&] { return reports > before && dataFilled(); }))
            return -1;
        return clock.nsecsElapsed() / 1e6;
    }
};

// The editor page alone: the formula rendered and its formats back.
double bare(WebViewWrapper& view, int run)
{
    bool applied = false;
    bool formats = false;
    QObject context;
    QObject::connect(&view, &WebViewWrapper::resultApplied, &context, [&] { applied = true; });
    QObject::connect(&view, &WebViewWrapper::getNonLatexFormats, &context, [&] { formats = true; });
    QElapsedTimer clock;
    clock.start();
    // A different text each time, as each Qelt is: the page keeps no result of an earlier one.
    view.setLatex(kFormula + QStringLiteral("+%1").arg(run), false);
    if (!waitUntil([&] { return applied && formats; }))
        return -1;
    return clock.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    QApplication app(argc, argv);
    zq::test::prepareApplication();
    APIHandler::overrideNetworkAvailabilityForTesting(false);
    QTextStream out(stdout);

    Page page;
    QWebEngineView bareView;
    bareView.resize(900, 300);
    bareView.show();
    WebViewWrapper wrapper(&bareView, kPage, 31);
    waitUntil([&] { return wrapper.isLoaded(); });
    page.show(page.add(QStringLiteral("x"))); // loads the pages and warms the engines
    bare(wrapper, -1);

    for (const int delay : {WebViewWrapper::defaultDelay(), 0}) {
        WebViewWrapper::setResultDelayForTesting(delay);
        std::vector<double> baseline, fresh, switching;
        for (int run = 0; run < kRuns; ++run) {
            baseline.push_back(bare(wrapper, run));
            fresh.push_back(page.show(page.add(kFormula + QStringLiteral("+%1").arg(run))));
        }
        const ZorvaneQeltPtr one = page.add(kFormula);
        const ZorvaneQeltPtr other = page.add(kFormula + QStringLiteral("+1"));
        page.show(one);
        for (int run = 0; run < kRuns; ++run)
            switching.push_back(page.show(run % 2 ? one : other));
        const double base = median(baseline);
        out << QStringLiteral("settling delay %1 ms, medians of %2 runs:\n").arg(delay).arg(kRuns);
        out << QStringLiteral("  bare editor view, formula and formats:      %1 ms\n").arg(base, 0, 'f', 1);
        out << QStringLiteral("  ShowQelt of a new Qelt to drawn and Data:   %1 ms (ratio %2)\n")
                   .arg(median(fresh), 0, 'f', 1)
                   .arg(median(fresh) / base, 0, 'f', 2);
        out << QStringLiteral("  switching between two Qelts:                %1 ms (ratio %2)\n")
                   .arg(median(switching), 0, 'f', 1)
                   .arg(median(switching) / base, 0, 'f', 2);
        out.flush();
    }
    delete page.page;
    return 0;
}
