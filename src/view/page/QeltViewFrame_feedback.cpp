// The recognition feedback (thumbs, "Tell us why!", the report, the image-permission question) and the
// deletion of the shown Qelt. A rating belongs to the Qelt shown at the click, whatever is shown when it
// goes out; the record and the sending are the RatingFlow's.

#include "api/APIHandler.h"
#include "core/settings.h"
#include "core/ui/MessageBox.h"
#include "view/feedback/RatingFlow.h"
#include "view/page/QeltViewFrame.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDebug>
#include <QDialog>
#include <QJsonObject>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>

namespace {

constexpr int kThumbAnimationMs = 300;
constexpr int kThumbGrowth = 8;

} // namespace

void QeltViewFrame::ConnectFeedback()
{
    ratingFlow = new RatingFlow(this);
    connect(ui.but_thumbs_up, &QPushButton::clicked, this, &QeltViewFrame::ThumbsUp);
    connect(ui.but_thumbs_down, &QPushButton::clicked, this, &QeltViewFrame::ThumbsDown);
    connect(tellUsWhyButton, &QPushButton::clicked, this, &QeltViewFrame::TellUsWhy);
    connect(ui.but_delete, &QPushButton::clicked, this, &QeltViewFrame::DeleteQelt);
    connect(ratingFlow, &RatingFlow::settled, this, &QeltViewFrame::OnRatingSettled);
    // Stored at once as well as periodically: a crash loses no rating.
    connect(ratingFlow, &RatingFlow::recordChanged, this, &QeltViewFrame::SaveFeedbackRecord);
}

void QeltViewFrame::setReportDialogFactory(ReportDialogFactory factory)
{
    reportDialogFactory = std::move(factory);
}

void QeltViewFrame::ThumbsUp()
{
    if (shownQelt.id.isEmpty())
        return;
    AnimateThumb(ui.but_thumbs_up);
    ratingFlow->rate(shownQelt.id, 1);
    ui.but_thumbs_up->setChecked(true);
    ui.but_thumbs_up->setEnabled(false);
    ui.but_thumbs_down->setEnabled(false);
}

void QeltViewFrame::ThumbsDown()
{
    if (shownQelt.id.isEmpty())
        return;
    AnimateThumb(ui.but_thumbs_down);
    ratingFlow->rate(shownQelt.id, 0);
    ui.but_thumbs_down->setChecked(true);
    ui.but_thumbs_up->setEnabled(false);
    ui.but_thumbs_down->setEnabled(false);
}

void QeltViewFrame::OnRatingSettled(const QString& qeltId, int rating)
{
    const QPointer<QeltViewFrame> alive(this);
    ShowImprovePrompt();
    if (!alive)
        return;
    if (rating == 1) {
        ratingFlow->sendWhenPermitted(qeltId, rating);
        return;
    }
    if (kKeyShowOCRFeedback.get()) {
        OpenReportDialog(qeltId);
        return;
    }
    ratingFlow->awaitReason(qeltId);
    if (qeltId == shownQelt.id)
        tellUsWhyButton->show();
}

void QeltViewFrame::SendFeedbackNow()
{
    ratingFlow->sendAwaitedNow();
}

void QeltViewFrame::TellUsWhy()
{
    const QString id = shownQelt.id;
    if (id.isEmpty())
        return;
    const QPointer<QeltViewFrame> alive(this);
    ShowImprovePrompt();
    if (!alive)
        return;
    // The report replaces this Qelt's bare thumbs-down; another Qelt's still goes out in its time.
    ratingFlow->cancelAwaited(id);
    OpenReportDialog(id);
}

void QeltViewFrame::OpenReportDialog()
{
    OpenReportDialog(shownQelt.id);
}

void QeltViewFrame::OpenReportDialog(const QString& qeltId)
{
    if (qeltId.isEmpty())
        return;
    FeedbackEntry entry = ratingFlow->entry(qeltId);
    entry.complete = true;
    ratingFlow->setEntry(qeltId, entry);

    bool accepted = false;
    if (reportDialogFactory) {
        const QPointer<QeltViewFrame> alive(this);
        const QPointer<QDialog> dialog = reportDialogFactory(this, qeltId);
        reportDialog = dialog;
        if (dialog) {
            accepted = dialog->exec() == QDialog::Accepted;
            if (!alive)
                return;
            delete dialog.data();
        }
    } else {
        qWarning().noquote() << "[QeltViewFrame] No report dialog to ask for the reason";
    }
    if (accepted) {
        ratingFlow->setEntry(qeltId, FeedbackEntry{0, true});
    } else {
        APIHandler::sendOcrFeedback(qeltId, 0, QJsonObject(), QString());
        ratingFlow->setEntry(qeltId, FeedbackEntry{0, false});
    }
    if (qeltId == shownQelt.id)
        tellUsWhyButton->setVisible(!accepted);
}

void QeltViewFrame::ShowImprovePrompt()
{
    if (!kKeyShowImproveMessage.get() || kKeyImproveZorvaneOCR.get())
        return;
    QMessageBox box(
        QMessageBox::Information, tr("Help Improve Zorvane"),
        tr("You have chosen not to help improve Zorvane by not allowing us to view your images. Any "
           "feedback sent to us will not include images.\n\nWould you like to update your setting "
           "to allow us to see your images?"),
        QMessageBox::NoButton, nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    QPushButton* yes = box.addButton(tr("   Yes, Zorvane can use my images   "), QMessageBox::ActionRole);
    box.addButton(tr("No"), QMessageBox::RejectRole);
    auto* dontShow = new QCheckBox(tr("Don't show this again."));
    box.setCheckBox(dontShow);
    connect(dontShow, &QCheckBox::stateChanged, &box,
            [](int state) { kKeyShowImproveMessage.set(state == Qt::Unchecked); });
    MessageBox::exec(box);
    if (box.clickedButton() == yes)
        APIHandler::SetImproveOCRSetting(true, RatingFlow::permissionPending());
}

void QeltViewFrame::AnimateThumb(QPushButton* button)
{
    const QRect geometry = button->geometry();
    auto* animation = new QPropertyAnimation(button, "geometry", this);
    animation->setDuration(kThumbAnimationMs);
    animation->setKeyValueAt(0, geometry);
    animation->setKeyValueAt(0.5,
                             geometry.adjusted(-kThumbGrowth, -kThumbGrowth, kThumbGrowth, kThumbGrowth));
    animation->setKeyValueAt(1, geometry);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void QeltViewFrame::UpdateFeedbackButtons()
{
    ui.ocrShowOriginalFrame->setVisible(!shownQelt.originalImageUrl.isEmpty());
    ui.line_3->hide();
    tellUsWhyButton->hide();
    for (QPushButton* thumb : {ui.but_thumbs_up, ui.but_thumbs_down}) {
        thumb->setEnabled(true);
        thumb->setChecked(false);
    }
    const FeedbackEntry entry = ratingFlow->entry(shownQelt.id);
    if (entry.rating == 1) {
        ui.but_thumbs_up->setChecked(true);
    } else if (entry.rating == 0) {
        ui.but_thumbs_down->setChecked(true);
        if (!entry.complete)
            tellUsWhyButton->show();
    }
    if (entry.rating != -1) {
        ui.but_thumbs_up->setEnabled(false);
        ui.but_thumbs_down->setEnabled(false);
    }
}

void QeltViewFrame::DeleteQelt()
{
    // Taken now: by the time the user answers, another Qelt may be shown.
    const QString id = shownQelt.id;
    if (id.isEmpty())
        return;
    QMessageBox box(
        QMessageBox::NoIcon, QCoreApplication::applicationName(),
        tr("<p>Are you sure you want to delete your Qelt?</p><p>This action is not reversible. You "
           "won't be able to restore it.</p>"),
        QMessageBox::Yes | QMessageBox::Cancel, this, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.button(QMessageBox::Yes)->setText(tr("Delete Qelt"));
    if (MessageBox::exec(box) == QMessageBox::Yes)
        emit WantRemoveQelt(id);
}
