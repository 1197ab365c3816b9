// Cost of reading settings through the typed keys, which open the store afresh for every read, against
// reads through one QSettings object held open, on a settings file as a long-used installation has it.
#include "core/ResultFormat.h"
#include "core/settings.h"
#include "core/userState.h"

#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>

#include <cstdio>
#include <functional>

namespace {

constexpr int kReads = 20000;
constexpr int kFeedbackEntries = 2000;

double bestOfThree(const std::function<void()>& work)
{
    double best = 1e300;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

void fillSettings()
{
    QMap<QString, FeedbackEntry> feedback;
    for (int i = 0; i < kFeedbackEntries; ++i)
        feedback.insert(QStringLiteral("2026_12_06_%1").arg(i, 20, 16, QLatin1Char('0')),
                        {i % 3 - 1, i % 2 == 0});
    utils::setFeedbackList(feedback);
    utils::setResultFormat(utils::ResultFormat());
    utils::setAuthInfo(QStringLiteral("someone@example.org"), QString(400, QLatin1Char('t')));
    kKeyShowStartBalloon.set(true);
    kKeyLastWinSize.set(QRect(10, 10, 800, 600));
    kKeyUserName.set(QStringLiteral("someone"));
}

} // namespace

int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    QCoreApplication app(argc, argv);
    zq::test::prepareApplication();
    fillSettings();

    volatile int sink = 0;
    const double held = bestOfThree([&] {
        QSettings settings;
        for (int i = 0; i < kReads; ++i)
            sink = sink + settings.value(QStringLiteral("ShowStartBalloon"), true).toBool();
    });
    const double keyed = bestOfThree([&] {
        for (int i = 0; i < kReads; ++i)
            sink = sink + kKeyShowStartBalloon.get();
    });
    const double formats = bestOfThree([&] {
        for (int i = 0; i < kReads; ++i)
            sink = sink + utils::resultFormat().blockStyle;
    });
    const double feedback = bestOfThree([&] {
        for (int i = 0; i < 20; ++i)
            sink = sink + utils::feedbackList().size();
    });

    std::printf("held QSettings read (baseline): %.3f us per read\n", held * 1000 / kReads);
    std::printf("SettingKey<bool>::get:          %.3f us per read, ratio %.1f\n", keyed * 1000 / kReads,
                keyed / held);
    std::printf("utils::resultFormat:            %.3f us per read, ratio %.1f\n", formats * 1000 / kReads,
                formats / held);
    std::printf("utils::feedbackList (%d entries): %.3f ms per read\n", kFeedbackEntries, feedback / 20);
    return 0;
}
