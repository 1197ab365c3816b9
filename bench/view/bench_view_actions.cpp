// Times what the view page's actions add to its work: the chat's picture bubble, made for every Qelt
// shown, against the plain scaling of the same picture to the same size; a history of 50 exchanges as
// bubbles against one bubble; and saving a DOCX into a download folder that holds 1000 earlier ones
// against an empty folder. Prints medians of repeated runs and their ratios.

#include "support/TestEnvironment.h"
#include "view/chat/chatReplies.h"
#include "view/chat/ui/QeltChatItemFrame.h"
#include "view/docx/docxFiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kRuns = 21;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double timed(const std::function<void()>& work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.nsecsElapsed() / 1e6;
}

double medianOf(const std::function<void()>& work)
{
    std::vector<double> runs;
    for (int run = 0; run < kRuns; ++run)
        runs.push_back(timed(work));
    return median(runs);
}

QPixmap photo()
{
    QPixmap pixmap(3000, 2000);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    for (int i = 0; i < 200; ++i)
        painter.drawLine(i * 15, 0, 3000 - i * 15, 2000);
    return pixmap;
}

QVector<std::shared_ptr<ZorvaneQeltChatMsg>> history(int exchanges)
{
    QVector<std::shared_ptr<ZorvaneQeltChatMsg>> messages;
    for (int i = 0; i < exchanges; ++i) {
        auto message = std::make_shared<ZorvaneQeltChatMsg>();
        message->id = QString::number(i);
        message->queryType = message->answerType = QStringLiteral("text");
        message->queryText = QStringLiteral("What does step %1 mean?").arg(i);
        message->answerText = QStringLiteral("It **divides** both sides by $2$, so $x = %1$.").arg(i);
        messages << message;
    }
    return messages;
}

// The bubbles of a history in a column, as the page lays them out.
void column(const QVector<std::shared_ptr<ZorvaneQeltChatMsg>>& messages)
{
    QWidget contents;
    auto* layout = new QVBoxLayout(&contents);
    for (const chatReplies::Bubble& bubble : chatReplies::bubblesOf(messages))
        layout->addWidget(bubble.kind == chatReplies::Bubble::Prompt
                              ? QeltChatItemFrame::createPromptItem(&contents, bubble.text)
                              : QeltChatItemFrame::createResponseItem(&contents, bubble.text));
    layout->activate();
}

} // namespace

int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    QApplication app(argc, argv);
    zq::test::prepareApplication();
    QTextStream out(stdout);

    const QPixmap picture = photo();
    const QSize fitted = chatReplies::fittedImageSize(picture.size());
    const double scaling =
        medianOf([&] { picture.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation); });
    const double bubble = medianOf([&] { delete QeltChatItemFrame::createImageItem(nullptr, picture); });
    out << QStringLiteral("medians of %1 runs:\n").arg(kRuns);
    out << QStringLiteral("  3000 x 2000 picture scaled to %1 x %2:      %3 ms\n")
               .arg(fitted.width())
               .arg(fitted.height())
               .arg(scaling, 0, 'f', 2);
    out << QStringLiteral("  the chat's picture bubble of it:            %1 ms (ratio %2)\n")
               .arg(bubble, 0, 'f', 2)
               .arg(bubble / scaling, 0, 'f', 2);

    const auto one = history(1);
    const auto fifty = history(50);
    const double single = medianOf([&] { column(one); });
    const double many = medianOf([&] { column(fifty); });
    out << QStringLiteral("  history of 1 exchange as bubbles:           %1 ms\n").arg(single, 0, 'f', 2);
    out << QStringLiteral("  history of 50 exchanges as bubbles:         %1 ms (ratio %2)\n")
               .arg(many, 0, 'f', 2)
               .arg(many / single, 0, 'f', 2);

    const QByteArray document = QByteArray("PK\x03\x04", 4) + QByteArray(20000, 'd');
    QTemporaryDir empty;
    QTemporaryDir full;
    for (int n = 1; n <= 1000; ++n) {
        QFile file(QDir(full.path()).filePath(docxFiles::nameFor(n)));
        file.open(QIODevice::WriteOnly);
    }
    std::vector<double> intoEmpty, intoFull;
    for (int run = 0; run < kRuns; ++run) {
        intoEmpty.push_back(timed([&] { QFile::remove(docxFiles::saveDocument(empty.path(), document)); }));
        intoFull.push_back(timed([&] { QFile::remove(docxFiles::saveDocument(full.path(), document)); }));
    }
    out << QStringLiteral("  DOCX saved into an empty folder:            %1 ms\n")
               .arg(median(intoEmpty), 0, 'f', 2);
    out << QStringLiteral("  DOCX saved beside 1000 earlier ones:        %1 ms (ratio %2)\n")
               .arg(median(intoFull), 0, 'f', 2)
               .arg(median(intoFull) / median(intoEmpty), 0, 'f', 2);
    return 0;
}
