#include "library/gallery/QeltListFrame.h"

#include "core/Palette.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/ui/MessageBox.h"
#include "core/ui/styles.h"
#include "library/ImageCache.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "library/gallery/QeltGraphicsItem.h"
#include "ui_QeltListFrame.h"

#include <QDesktopServices>
#include <QGraphicsScene>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <stdexcept>

namespace {
constexpr int kUnloadIntervalMs = 1000;
constexpr int kRepaintIntervalMs = 60000; // keeps the cards' ages current
} // namespace

QeltListFrame::QeltListFrame(QWidget* parent, QeltControllerSwitch* controllers)
    : QFrame(parent), m_form(std::make_unique<Ui::QeltListFrame>()), m_switch(controllers)
{
    if (!m_switch)
        throw std::runtime_error("[QeltListFrame] Controller switch is null");
    // Both: a card deleted among the search results goes as one deleted in the library does.
    for (QeltsController* controller : {m_switch->first(), m_switch->second()}) {
        connect(controller, &QeltsController::qeltsCountChanged, this, &QeltListFrame::onQeltsChanged);
        connect(controller, &QeltsController::qeltUpdated, this, &QeltListFrame::onQeltsChanged);
        connect(controller->imageController(), &QeltsImageController::imageForListDownloaded, this,
                &QeltListFrame::onImageForListDownloaded);
    }

    setupForm();
    onQeltsChanged();

    // Runs on a cache thread with the cache's lock held: it only posts the repaint to this thread.
    ImageCache::instance().setListener([this](const QString& owner) {
        QMetaObject::invokeMethod(this, "redrawItem", Qt::AutoConnection, Q_ARG(QString, owner));
    });
    ImageCache::instance().setUnreadableListener([this](const QString& owner, const QString& path) {
        QMetaObject::invokeMethod(
            this, [this, owner, path] { onImageUnreadable(owner, path); }, Qt::QueuedConnection);
    });

    auto* unloadTimer = new QTimer(this);
    connect(unloadTimer, &QTimer::timeout, this, &QeltListFrame::unloadNotVisibleItems);
    unloadTimer->start(kUnloadIntervalMs);
    auto* repaintTimer = new QTimer(this);
    connect(repaintTimer, &QTimer::timeout, this, &QeltListFrame::updateQeltsView);
    repaintTimer->start(kRepaintIntervalMs);
}

QeltListFrame::~QeltListFrame()
{
    ImageCache::instance().setListener({});
    ImageCache::instance().setUnreadableListener({});
    m_animations.clear();
    // Cards out of the scene belong to the table alone; the ones in it are taken out first so that
    // every card dies exactly once.
    for (QeltGraphicsItem* card : qAsConst(m_cards))
        destroyCard(card);
    m_cards.clear();
}

void QeltListFrame::setupForm()
{
    m_form->setupUi(this);
    for (QPushButton* button :
         {m_form->but_take_qelt, m_form->but_upload_qelt, m_form->but_handwrite_qelt, m_form->but_create_qelt,
          m_form->but_show_list, m_form->but_show_pdf_converter, m_form->but_delete_all_qelts,
          m_form->but_home, m_form->but_settings})
        button->setStyleSheet(utils::styles::flatButton());
    m_form->rb_original->setStyleSheet(utils::styles::radioGroup(0, 8));
    m_form->rb_rendered->setStyleSheet(utils::styles::radioGroup(1, 4));
    m_form->rb_both->setStyleSheet(utils::styles::radioGroup(2, 14));

    connect(m_form->searchBox, &QSearchInput::DoSearch, this, &QeltListFrame::doSearch);
    connect(m_form->searchBox, &QLineEdit::textChanged, this, &QeltListFrame::onSearchBoxTextChanged);
    connect(m_form->but_next, &QPushButton::clicked, this, &QeltListFrame::onNextButtonClicked);
    connect(m_form->but_prev, &QPushButton::clicked, this, &QeltListFrame::onPrevButtonClicked);
    connect(m_form->but_first, &QPushButton::clicked, this, &QeltListFrame::onFirstButtonClicked);
    connect(m_form->but_last, &QPushButton::clicked, this, &QeltListFrame::onLastButtonClicked);
    connect(m_form->but_settings, &QPushButton::clicked, this, &QeltListFrame::onSettingsButtonClicked);
    connect(m_form->but_home, &QPushButton::clicked, this, &QeltListFrame::onHomeButtonClicked);
    connect(m_form->but_delete_all_qelts, &QPushButton::clicked, this,
            &QeltListFrame::onDeleteAllButtonClicked);
    connect(m_form->but_take_qelt, &QPushButton::clicked, this, &QeltListFrame::makeScreenshot);
    connect(m_form->but_upload_qelt, &QPushButton::clicked, this, &QeltListFrame::uploadQelt);
    connect(m_form->but_create_qelt, &QPushButton::clicked, this, &QeltListFrame::createQelt);
    connect(m_form->but_show_pdf_converter, &QPushButton::clicked, this, &QeltListFrame::convertPDF);
    connect(m_form->but_handwrite_qelt, &QPushButton::clicked, this, &QeltListFrame::handwriteQelt);
    // Queued, so that the view has finished scrolling before the cards are sorted out.
    connect(m_form->qelts_view, &QeltsView::PositionChanged, this, &QeltListFrame::unloadNotVisibleItems,
            Qt::QueuedConnection);
    for (QRadioButton* radio : {m_form->rb_original, m_form->rb_rendered, m_form->rb_both})
        connect(radio, &QRadioButton::clicked, this, &QeltListFrame::listViewModeSelected);
    connect(m_form->stackedView, &QStackedWidget::currentChanged, this,
            &QeltListFrame::onStackedViewCurrentIndexChanged);

    m_viewMode = kKeyQeltListViewMode.get();
    const QList<QRadioButton*> radios{m_form->rb_original, m_form->rb_rendered, m_form->rb_both};
    if (m_viewMode >= 0 && m_viewMode < radios.size())
        radios[m_viewMode]->setChecked(true);

    const QString grey = Palette::grey.name().toUpper();
    m_form->searchBox->setStyleSheet(QStringLiteral("border-radius: 4px;border: 1px solid %1;").arg(grey));
    m_form->label->setStyleSheet(QStringLiteral("color: %1;font-size: 16px;").arg(grey));
    // An error message can be long; unwrapped it would widen the page and with it the main window.
    m_form->label->setWordWrap(true);

    m_scene = new QGraphicsScene(this);
    m_scene->setItemIndexMethod(QGraphicsScene::NoIndex);
    m_form->qelts_view->setScene(m_scene);
    // Scrolling is reported when a drag ends, not during it.
    m_form->qelts_view->verticalScrollBar()->setTracking(false);
    m_form->qelts_view->horizontalScrollBar()->setTracking(false);

    m_arrowLabel = new QLabel(m_form->qelts_view);
    m_arrowLabel->setObjectName(QStringLiteral("arrowLabel"));
    m_arrowLabel->setFixedSize(58, 90);
    m_arrowLabel->setPixmap(QPixmap(QStringLiteral(":/images/new_design/arrow_make_qelt.png")));
    m_helloLabel = new QLabel(m_form->qelts_view);
    m_helloLabel->setObjectName(QStringLiteral("helloLabel"));
    m_helloLabel->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    m_helloLabel->setStyleSheet(
        QStringLiteral("font-size: 21px;color: %1;").arg(Palette::blue.name().toUpper()));
    setHelloHotkey(QString());
    auto* layout = new QVBoxLayout(m_form->qelts_view);
    auto* arrowRow = new QHBoxLayout;
    arrowRow->addWidget(m_arrowLabel);
    arrowRow->addStretch();
    auto* helloRow = new QHBoxLayout;
    helloRow->addSpacing(40);
    helloRow->addWidget(m_helloLabel);
    layout->addLayout(arrowRow);
    layout->addLayout(helloRow);
    layout->addStretch();
}

void QeltListFrame::setHelloHotkey(const QString& hotkey)
{
    QString text = tr("           Click here to take a qelt!");
    if (!hotkey.isEmpty())
        text += tr("\r\nOr enter %1 on your keyboard.").arg(hotkey);
    m_helloLabel->setText(text);
}

void QeltListFrame::redrawItem(QString qeltId)
{
    QeltGraphicsItem* card = m_cards.value(qeltId);
    if (card && card->isShown())
        card->update();
}

void QeltListFrame::onSettingsButtonClicked()
{
    const QPushButton* button = m_form->but_settings;
    emit showContextMenu(mapToGlobal(QPoint(button->x(), button->y() + button->height() + 2)));
    m_form->but_settings->setFocus();
}

void QeltListFrame::onHomeButtonClicked()
{
    QDesktopServices::openUrl(QUrl(utils::webAppUrl() + QStringLiteral("/home")));
}

bool QeltListFrame::confirm(const QString& text, const QString& yesText)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text,
                    QMessageBox::Yes | QMessageBox::Cancel, this);
    box.setWindowFlags(box.windowFlags() | Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.button(QMessageBox::Yes)->setText(yesText);
    return MessageBox::exec(box) == QMessageBox::Yes;
}

void QeltListFrame::onDeleteItem(QeltGraphicsItem* item)
{
    const QString id = item->qeltId(); // the card may not outlive the question
    if (confirm(tr("<p>Are you sure you want to delete your Qelt?</p><p>This action is not reversible. "
                   "You won't be able to restore it.</p>"),
                tr("Delete Qelt")))
        m_switch->current()->removeQelt(id);
}

void QeltListFrame::onDeleteAllButtonClicked()
{
    if (confirm(tr("<p>Are you sure you want to delete all of your Qelts?</p><p>This action is not "
                   "reversible. You won't be able to restore your qelts.</p>"),
                tr("Delete All Qelts")))
        m_switch->current()->removeAllQelts();
}

void QeltListFrame::onItemClicked(QeltGraphicsItem* item)
{
    emit showQelt(item->qeltId());
}

void QeltListFrame::onOpenItemInQeltWeb(QeltGraphicsItem* item)
{
    if (const ZorvaneQeltPtr qelt = m_switch->current()->qeltById(item->qeltId()))
        QDesktopServices::openUrl(qelt->webUrl());
}

void QeltListFrame::listViewModeSelected(bool)
{
    const QObject* from = sender();
    m_viewMode = from == m_form->rb_original ? 0 : from == m_form->rb_rendered ? 1 : 2;
    kKeyQeltListViewMode.set(m_viewMode);
    for (QeltGraphicsItem* card : qAsConst(m_cards))
        card->setViewMode(m_viewMode);
    onQeltsChanged();
    update();
}

void QeltListFrame::updateQeltCountLabel()
{
    const qint64 count = m_switch->first()->count();
    m_form->lbl_qelts_count->setText(tr("%1 Qelts").arg(count));
    m_form->secondToolbarFrame->setVisible(count >= 1);
}

void QeltListFrame::onStackedViewCurrentIndexChanged(int index)
{
    m_form->lbl_qelts_count->setVisible(index == 0);
}

void QeltListFrame::updateQeltsView()
{
    m_form->qelts_view->viewport()->update();
}
