// The gallery page's search on the service: requests, replies, and the pager over the result pages.
#include "library/gallery/QeltListFrame.h"

#include "api/APIHandler.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "library/searchReply.h"
#include "ui_QeltListFrame.h"

#include <QJsonArray>
#include <QPointer>
#include <QTimer>

void QeltListFrame::setSearchText(const QString& text)
{
    m_form->searchBox->setText(text);
    if (!text.isEmpty())
        doSearch(text, false);
}

void QeltListFrame::refreshSearch()
{
    doSearch(m_searchQuery, true);
}

void QeltListFrame::showMessage(const QString& text)
{
    m_form->label->setText(text);
    m_form->stackedView->setCurrentIndex(1);
}

void QeltListFrame::doSearch(const QString& text, bool isUpdating)
{
    if (text.isEmpty())
        return;
    // Another query has pages of its own: it starts at its first.
    if (text != m_searchQuery)
        m_searchPage = 0;
    m_searchQuery = text;
    m_searchLoading = true;
    m_form->but_delete_all_qelts->setEnabled(false);
    showMessage(isUpdating ? tr("Updating search results...") : tr("Searching your Qelts..."));
    m_switch->second()->clear();
    const QJsonObject body{{QStringLiteral("query"), text},
                           {QStringLiteral("size"), kSearchPageSize},
                           {QStringLiteral("from"), m_searchPage * kSearchPageSize}};
    QPointer<QeltListFrame> self(this);
    // Only the latest request's answer is shown: an earlier page of the same query would join its hits.
    const quint64 serial = ++m_searchSerial;
    APIHandler::send(
        QStringLiteral("/v1/search/qelts"), QStringLiteral("POST"), body,
        [self, text, serial](const QJsonDocument& reply) {
            if (self)
                self->onSearchResult(reply, text, serial);
        },
        [self, text, serial](const QJsonObject& error) {
            if (self)
                self->onSearchError(error, text, serial);
        });
}

void QeltListFrame::onSearchResult(const QJsonDocument& reply, const QString& text, quint64 serial)
{
    emit searchReplyArrived(text);
    if (serial != m_searchSerial || m_form->searchBox->text() != text)
        return;
    const SearchReply result = readSearchReply(reply);
    m_searchTotal = result.total;
    m_searchPages = (m_searchTotal + kSearchPageSize - 1) / kSearchPageSize;
    if (m_searchPage > 0 && m_searchPage >= m_searchPages) {
        // The page went (Qelts deleted meanwhile): the last one that is left, not an empty page
        // without a pager to step back with.
        m_searchPage = std::max(0, m_searchPages - 1);
        doSearch(m_searchQuery, true);
        return;
    }
    m_searchLoading = false;
    updatePageLabel();
    for (const ZorvaneQeltPtr& qelt : result.qelts)
        m_switch->second()->addQelt(qelt, false);
    m_switch->setMode(1);
    QTimer::singleShot(1, this, &QeltListFrame::onQeltsChanged);
}

void QeltListFrame::onSearchError(const QJsonObject& error, const QString& text, quint64 serial)
{
    emit searchReplyArrived(text);
    // An answer to a query the user has already replaced is as stale as a successful one.
    if (serial != m_searchSerial || m_form->searchBox->text() != text)
        return;
    m_searchLoading = false;
    showMessage(tr("error: id: %1, message: %2")
                    .arg(error.value(QStringLiteral("id")).toString(),
                         error.value(QStringLiteral("message")).toString()));
}

void QeltListFrame::onSearchBoxTextChanged(QString text)
{
    if (!text.isEmpty())
        return;
    m_searchQuery.clear();
    m_searchLoading = false;
    m_form->but_delete_all_qelts->setEnabled(true);
    m_switch->setMode(0);
    // Back in the library: catch up with what changed on the account while the results were shown.
    m_switch->first()->startSync();
    m_form->stackedView->setCurrentIndex(0);
    QTimer::singleShot(1, this, &QeltListFrame::onQeltsChanged);
}

void QeltListFrame::updatePageLabel()
{
    m_form->pageLabel->setText(QStringLiteral("%1 / %2").arg(m_searchPage + 1).arg(m_searchPages));
    const int first = m_searchPage * kSearchPageSize;
    m_form->resultText->setText(tr("Showed %1-%2 of %3 qelts")
                                    .arg(first + 1)
                                    .arg(std::min(m_searchTotal, first + kSearchPageSize))
                                    .arg(m_searchTotal));
}

void QeltListFrame::goToPage(int page)
{
    m_searchPage = page;
    doSearch(m_searchQuery, false);
}

void QeltListFrame::onNextButtonClicked()
{
    if (m_searchPage < m_searchPages - 1)
        goToPage(m_searchPage + 1);
}

void QeltListFrame::onPrevButtonClicked()
{
    if (m_searchPage != 0)
        goToPage(std::max(0, m_searchPage - 1));
}

void QeltListFrame::onFirstButtonClicked()
{
    if (m_searchPage != 0)
        goToPage(0);
}

void QeltListFrame::onLastButtonClicked()
{
    if (m_searchPage < m_searchPages - 1)
        goToPage(m_searchPages - 1);
}
