#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace zq::test {

// Answers the real message boxes that open while it lives: each one is recorded (its icon and text) and
// closed with `answer`, so that a test can tell whether the product asked anything, and what.
class BoxWatcher : public QObject
{
public:
    explicit BoxWatcher(QMessageBox::StandardButton answer = QMessageBox::Ok) : m_answer(answer)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || box->property("zqAnswered").toBool())
                return;
            box->setProperty("zqAnswered", true);
            m_icons << box->icon();
            m_texts << box->text();
            QAbstractButton* button = box->button(m_answer);
            if (button)
                button->click();
            else
                box->reject();
        });
        m_timer.start(10);
    }

    QStringList texts() const { return m_texts; }
    QList<QMessageBox::Icon> icons() const { return m_icons; }

private:
    QMessageBox::StandardButton m_answer;
    QTimer m_timer;
    QStringList m_texts;
    QList<QMessageBox::Icon> m_icons;
};

} // namespace zq::test
