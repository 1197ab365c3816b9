#include "support/TestMain.h"
#include "view/rows/ResultRow.h"
#include "view/rows/RowFormat.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

class TestResultRow : public QObject
{
    Q_OBJECT

    QWidget parent;

private slots:
    void rowGetsTheButtonsOfItsTabAndFormat_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("chemistry");
        QTest::addColumn<bool>("table");
        QTest::addColumn<QString>("buttons"); // copy, edit, search: 1 made, 0 not
        QTest::newRow("ocr latex") << 0 << int(Latex) << false << false << "111";
        QTest::newRow("ocr text") << 0 << int(Text) << false << false << "111";
        QTest::newRow("ocr mol") << 0 << int(Chemistry) << true << false << "100";
        QTest::newRow("ocr smiles") << 0 << int(Smiles) << true << false << "101";
        QTest::newRow("ocr table") << 0 << int(TableMarkdown) << false << true << "101";
        QTest::newRow("ocr docx") << 0 << int(ExportToDoc) << false << false << "000";
        QTest::newRow("data csv") << 1 << int(Csv) << false << false << "000";
        QTest::newRow("data latex") << 1 << int(Latex) << false << false << "100";
        QTest::newRow("original url") << 2 << int(RawUrl) << false << false << "100";
    }
    void rowGetsTheButtonsOfItsTabAndFormat()
    {
        QFETCH(int, tab);
        QFETCH(int, format);
        QFETCH(bool, chemistry);
        QFETCH(bool, table);
        QFETCH(QString, buttons);
        const ResultRow row(&parent, tab, format, "x", false, chemistry, table);
        const QList<QWidget*> made{row.copyButton, row.editButton, row.searchButton};
        QList<QWidget*> expected{row.lineEdit};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(made[i] != nullptr, buttons[i] == '1');
            if (made[i])
                expected << made[i];
        }
        QCOMPARE(row.layout->count(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(row.layout->itemAt(i)->widget(), expected[i]);
            QCOMPARE(expected[i]->parentWidget(), &parent);
        }
        QVERIFY(!row.layout->parent());
        QVERIFY(row.copiedLabel->isHidden());
        delete row.layout;
    }

    void fieldCutsLongTextsButTheRowKeepsThemWhole_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("shownTail");
        QTest::newRow("empty") << 0 << "";
        QTest::newRow("at the limit") << 1000 << "a";
        QTest::newRow("one over") << 1001 << "a ...";
        QTest::newRow("far over") << 5000 << "a ...";
    }
    void fieldCutsLongTextsButTheRowKeepsThemWhole()
    {
        QFETCH(int, length);
        QFETCH(QString, shownTail);
        const QString text = QString(length, 'a');
        const ResultRow row(&parent, 0, Latex, text, true, false, false);
        QCOMPARE(row.text, text);
        QCOMPARE(row.lineEdit->text().size(), qMin(length, 1000) + (length > 1000 ? 4 : 0));
        QVERIFY(row.lineEdit->text().endsWith(shownTail));
        QCOMPARE(row.lineEdit->cursorPosition(), 0);
        delete row.layout;
    }

    void formatKeyNamesTheFormat_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("key");
        QTest::newRow("first") << int(Latex) << "latex";
        QTest::newRow("before chemistry") << int(Smiles) << "smiles";
        QTest::newRow("chemistry") << int(Chemistry) << "";
        QTest::newRow("after chemistry") << int(TableMarkdown) << "table-markdown";
        QTest::newRow("last") << int(HtmlUrl) << "html_url";
        QTest::newRow("above") << 19 << "";
        QTest::newRow("below") << -1 << "";
    }
    void formatKeyNamesTheFormat()
    {
        QFETCH(int, format);
        QFETCH(QString, key);
        ResultRow row;
        row.format = format;
        QCOMPARE(row.formatKey(), key);
    }
};

ZQ_TEST_MAIN(TestResultRow)
#include "test_result_row.moc"
