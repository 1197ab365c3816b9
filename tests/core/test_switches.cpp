#include "SettingsProbe.h"

#include "support/TestMain.h"

// Command-line switches match whole arguments exactly.
class TestSwitches : public QObject
{
    Q_OBJECT

private slots:
    void switchesMatchExactly()
    {
        const QStringList read = zq::test::readInFreshProcess({
            QStringLiteral("-hide-start-balloon"),
            QStringLiteral("-Full-dump"),
            QStringLiteral("hasArgument=-hide-start-balloon"),
            QStringLiteral("hasArgument=-HIDE-START-BALLOON"),
            QStringLiteral("hasArgument=--hide-start-balloon"),
            QStringLiteral("hasArgument=-hide-start"),
            QStringLiteral("hasArgument=-full-dump"),
            QStringLiteral("hasArgument=" ZQ_SETTINGS_PROBE),
        });
        QCOMPARE(read, QStringList({"true", "false", "false", "false", "false", "true"}));
    }
};

ZQ_TEST_MAIN(TestSwitches)
#include "test_switches.moc"
