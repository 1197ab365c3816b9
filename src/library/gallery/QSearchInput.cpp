#include "library/gallery/QSearchInput.h"

#include <QAction>
#include <QDateTime>
#include <QIcon>
#include <QKeyEvent>
#include <QTimer>

namespace {
const QString kIconOff = QStringLiteral(":/images/new_design/search_off.svg");
const QString kIconOn = QStringLiteral(":/images/new_design/search_on.svg");
} // namespace

QSearchInput::QSearchInput(QWidget* parent)
    : QLineEdit(parent), m_searchAction(new QAction(QIcon(kIconOff), tr("Search"), this))
{
    addAction(m_searchAction, QLineEdit::LeadingPosition);
    // Emptying the box forgets the last search, so that typing the same text again searches again.
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            m_lastSearchedText.clear();
    });
}

void QSearchInput::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return)
        emit DoSearch(text(), false);
    QLineEdit::keyPressEvent(event);
}

void QSearchInput::keyReleaseEvent(QKeyEvent* event)
{
    const qint64 releaseMs = QDateTime::currentMSecsSinceEpoch();
    m_lastKeyReleaseMs = releaseMs;
    QTimer::singleShot(kTypingPauseMs, Qt::PreciseTimer, this,
                       [this, releaseMs] { onTypingPaused(releaseMs); });
    QLineEdit::keyReleaseEvent(event);
}

void QSearchInput::onTypingPaused(qint64 releaseMs)
{
    const QString current = text();
    if (m_lastKeyReleaseMs != releaseMs || current == m_lastSearchedText || current.isEmpty())
        return;
    m_lastSearchedText = current;
    emit DoSearch(current, false);
}

void QSearchInput::focusInEvent(QFocusEvent* event)
{
    m_searchAction->setIcon(QIcon(kIconOn));
    QLineEdit::focusInEvent(event);
}

void QSearchInput::focusOutEvent(QFocusEvent* event)
{
    m_searchAction->setIcon(QIcon(kIconOff));
    QLineEdit::focusOutEvent(event);
}
