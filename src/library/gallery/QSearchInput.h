#pragma once

#include <QLineEdit>

class QAction;

// The gallery's search box: asks for a search on Return, or by itself once typing pauses for
// kTypingPauseMs, never twice in a row for the same typed text.
class QSearchInput : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr int kTypingPauseMs = 500;

    explicit QSearchInput(QWidget* parent = nullptr);

signals:
    void DoSearch(QString text, bool isUpdating);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void onTypingPaused(qint64 releaseMs);

    QAction* m_searchAction;
    QString m_lastSearchedText;
    qint64 m_lastKeyReleaseMs = 0;
};
