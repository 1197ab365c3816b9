// Saves a large Qelts file to argv[1] again and again, until the test kills it mid-write.
#include "library/QeltsContainer.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QeltsContainer container(nullptr);
    for (int i = 0; i < 20000; ++i) {
        auto qelt = std::make_shared<ZorvaneQelt>(QString::number(i), 100 + i, 100 + i);
        qelt->text = QString(200, QLatin1Char('t'));
        container.insert(qelt, false);
    }
    fputs("saving\n", stdout);
    fflush(stdout);
    for (;;)
        container.save(QString::fromLocal8Bit(argv[1]));
}
