#include "support/TestMain.h"

#include "core/ui/FileDialog.h"
#include "core/ui/MessageBox.h"

#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

// Stands in for the user: each time the event loop turns with a modal window up, it counts the window
// and hands it to `act`, which closes it. No waiting: it fires from the window's own event loop.
class User : public QObject
{
public:
    explicit User(std::function<void(QWidget*)> act) : m_act(std::move(act))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ++shown;
                m_act(modal);
            }
        });
        m_timer.start(0);
    }

    int shown = 0;

private:
    std::function<void(QWidget*)> m_act;
    QTimer m_timer;
};

enum Kind { Question, Information, Warning, Critical, Exec, OpenFile, OpenFiles, SaveFile, Directory };

// Asks with buttons Yes and No, `defaultButton` the default.
MessageBox::Button askBox(Kind kind, MessageBox::Button defaultButton)
{
    const auto buttons = MessageBox::Buttons(QMessageBox::Yes | QMessageBox::No);
    switch (kind) {
    case Question:
        return MessageBox::question(nullptr, "t", "q", buttons, defaultButton);
    case Information:
        return MessageBox::information(nullptr, "t", "i", buttons, defaultButton);
    case Warning:
        return MessageBox::warning(nullptr, "t", "w", buttons, defaultButton);
    case Critical:
        return MessageBox::critical(nullptr, "t", "c", buttons, defaultButton);
    default: {
        QMessageBox box(QMessageBox::NoIcon, "t", "e", buttons);
        box.button(QMessageBox::Yes)->setText("Delete Qelt");
        box.setDefaultButton(defaultButton);
        return MessageBox::exec(box);
    }
    }
}

QStringList askFile(Kind kind)
{
    switch (kind) {
    case OpenFile:
        return {FileDialog::getOpenFileName(nullptr, "o", QDir::tempPath())};
    case OpenFiles:
        return FileDialog::getOpenFileNames(nullptr, "m", QDir::tempPath());
    case SaveFile:
        return {FileDialog::getSaveFileName(nullptr, "s", QDir::tempPath())};
    default:
        return {FileDialog::getExistingDirectory(nullptr, "d", QDir::tempPath())};
    }
}

} // namespace

class TestDialogSeams : public QObject
{
    Q_OBJECT

private slots:
    void messageBoxAnswersOnceThenShows_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("shown"); // what the real box answers when the user presses Return on it
        QTest::newRow("question") << int(Question) << int(QMessageBox::Yes) << int(QMessageBox::No);
        QTest::newRow("information") << int(Information) << int(QMessageBox::No) << int(QMessageBox::Yes);
        QTest::newRow("warning") << int(Warning) << int(QMessageBox::Yes) << int(QMessageBox::No);
        QTest::newRow("critical") << int(Critical) << int(QMessageBox::No) << int(QMessageBox::Yes);
        QTest::newRow("own box") << int(Exec) << int(QMessageBox::Yes) << int(QMessageBox::No);
        // Closed from the program without a button.
        QTest::newRow("closed") << int(Question) << int(QMessageBox::Yes) << int(QMessageBox::Cancel);
    }

    void messageBoxAnswersOnceThenShows()
    {
        QFETCH(int, kind);
        QFETCH(int, answer);
        QFETCH(int, shown);
        User user([shown](QWidget* box) {
            if (shown == QMessageBox::Cancel)
                qobject_cast<QDialog*>(box)->reject();
            else
                QTest::keyClick(box, Qt::Key_Return);
        });
        MessageBox::setNextAnswer(MessageBox::Button(answer));
        QCOMPARE(int(askBox(Kind(kind), QMessageBox::No)), answer);
        QCOMPARE(user.shown, 0);
        // The hook is spent: the next box is real.
        const auto defaultButton = shown == QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::No;
        QCOMPARE(int(askBox(Kind(kind), defaultButton)), shown);
        QCOMPARE(user.shown, 1);
    }

    void fileDialogNamesOnceThenShows_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("answer");
        const QStringList two{"/tmp/a.png", "/tmp/b.png"};
        QTest::newRow("open") << int(OpenFile) << two << QStringList{"/tmp/a.png"};
        QTest::newRow("open several") << int(OpenFiles) << two << two;
        QTest::newRow("save") << int(SaveFile) << QStringList{"/tmp/out.docx"}
                              << QStringList{"/tmp/out.docx"};
        QTest::newRow("folder") << int(Directory) << QStringList{"/tmp"} << QStringList{"/tmp"};
        QTest::newRow("cancelled") << int(OpenFile) << QStringList() << QStringList{QString()};
    }

    void fileDialogNamesOnceThenShows()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, names);
        QFETCH(QStringList, answer);
        User user([](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); });
        FileDialog::setNextFileNames(names);
        QCOMPARE(askFile(Kind(kind)), answer);
        QCOMPARE(user.shown, 0);
        // Spent: the next dialog is real, and the user cancels it.
        const QStringList cancelled = kind == OpenFiles ? QStringList() : QStringList{QString()};
        QCOMPARE(askFile(Kind(kind)), cancelled);
        QCOMPARE(user.shown, 1);
    }
};

ZQ_TEST_MAIN(TestDialogSeams)
#include "test_dialog_seams.moc"
