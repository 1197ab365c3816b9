// Reading Qelt records: from the service's JSON against parsing the same document alone, and through
// the record's stream form against a bare QDataStream of the same six fields. Prints the timings and
// the ratios; each figure is the best of several rounds in this run.

#include "model/ZorvaneQelt.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVector>

#include <cstdio>
#include <functional>
#include <limits>
#include <utility>

namespace {

constexpr int kRecords = 100000;
constexpr int kRounds = 5;

QByteArray qeltListDocument()
{
    QJsonArray array;
    for (int i = 0; i < kRecords; ++i) {
        const QString stamp = QStringLiteral("2024-%1-%2T%3:%4:%5.%6Z")
                                  .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                                  .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                                  .arg(i % 24, 2, 10, QLatin1Char('0'))
                                  .arg(i % 60, 2, 10, QLatin1Char('0'))
                                  .arg((i * 7) % 60, 2, 10, QLatin1Char('0'))
                                  .arg(i % 1000, 3, 10, QLatin1Char('0'));
        const QString id = QStringLiteral("2024_03_01_%1").arg(i, 20, 16, QLatin1Char('0'));
        const QJsonObject image{{"thumbnail", QJsonObject{{"url", "https://cdn.example/" + id + "-t.jpg"}}},
                                {"fullsize", QJsonObject{{"url", "https://cdn.example/" + id + ".jpg"}}}};
        array.append(
            QJsonObject{{"id", id.toUpper()},
                        {"status", "completed"},
                        {"latex", QStringLiteral("\\frac{%1}{x^2+1}").arg(i)},
                        {"text", QStringLiteral("The value is $\\frac{%1}{x^2+1}$ for all x.").arg(i)},
                        {"confidence", 0.5 + (i % 50) / 100.0},
                        {"created_at", stamp},
                        {"modified_at", stamp},
                        {"images", QJsonObject{{"original", image}, {"rendered", image}}}});
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

double millisecondsOf(const std::function<void()>& run)
{
    QElapsedTimer timer;
    timer.start();
    run();
    return timer.nsecsElapsed() / 1e6;
}

// Best wall times of kRounds runs each, in milliseconds; the two take turns so that a change in the
// machine's load weighs on both alike.
std::pair<double, double> bestOf(const std::function<void()>& ours, const std::function<void()>& baseline)
{
    double bestOurs = std::numeric_limits<double>::max();
    double bestBaseline = std::numeric_limits<double>::max();
    for (int round = 0; round < kRounds; ++round) {
        bestBaseline = std::min(bestBaseline, millisecondsOf(baseline));
        bestOurs = std::min(bestOurs, millisecondsOf(ours));
    }
    return {bestOurs, bestBaseline};
}

volatile qint64 g_sink = 0;

void report(const char* what, double ours, double baseline, double goal)
{
    const double ratio = ours / baseline;
    std::printf("%-34s %9.1f ms   baseline %9.1f ms   ratio %.2f (goal <= %.2f)%s\n", what, ours, baseline,
                ratio, goal, ratio <= goal ? "" : "   ABOVE GOAL");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QByteArray document = qeltListDocument();
    std::printf("%d Qelt objects, %d bytes of JSON\n", kRecords, int(document.size()));

    const auto parseOnly = [&] {
        const QJsonArray array = QJsonDocument::fromJson(document).array();
        g_sink += array.size();
    };
    const auto parseAndRead = [&] {
        const QJsonArray array = QJsonDocument::fromJson(document).array();
        QVector<ZorvaneQeltPtr> records;
        records.reserve(array.size());
        for (const QJsonValue& value : array)
            records.append(ZorvaneQelt::fromJson(value.toObject()));
        g_sink += records.size();
    };
    const auto [reading, parsing] = bestOf(parseAndRead, parseOnly);
    report("JSON into records", reading, parsing, 1.5);

    QVector<ZorvaneQelt> records;
    records.reserve(kRecords);
    for (const QJsonValue& value : QJsonDocument::fromJson(document).array())
        records.append(*ZorvaneQelt::fromJson(value.toObject()));

    const auto bare = [&] {
        QByteArray bytes;
        {
            QDataStream out(&bytes, QIODevice::WriteOnly);
            for (const ZorvaneQelt& qelt : qAsConst(records))
                out << qelt.id << qelt.latex << qelt.text << qelt.confidence << qelt.modified_at
                    << qelt.created_at;
        }
        QDataStream in(bytes);
        QString id, latex, text;
        double confidence;
        qint64 modifiedAt, createdAt;
        for (int i = 0; i < kRecords; ++i) {
            in >> id >> latex >> text >> confidence >> modifiedAt >> createdAt;
            g_sink += createdAt;
        }
    };
    const auto streamed = [&] {
        QByteArray bytes;
        {
            QDataStream out(&bytes, QIODevice::WriteOnly);
            for (const ZorvaneQelt& qelt : qAsConst(records))
                out << qelt;
        }
        QDataStream in(bytes);
        ZorvaneQelt qelt;
        for (int i = 0; i < kRecords; ++i) {
            in >> qelt;
            g_sink += qelt.created_at;
        }
    };
    const auto [ours, baseline] = bestOf(streamed, bare);
    report("stream form, write and read", ours, baseline, 1.5);
    return 0;
}
