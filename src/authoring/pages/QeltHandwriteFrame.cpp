#include "authoring/pages/QeltHandwriteFrame.h"

#include "authoring/HandwriteRecognizer.h"
#include "authoring/StrokeModel.h"
#include "authoring/pages/HandwriteView.h"
#include "authoring/pages/pageLook.h"
#include "core/Palette.h"
#include "core/settings.h"
#include "core/ui/AnimatedLabel.h"
#include "core/ui/styles.h"
#include "ui_QeltHandwriteFrame.h"

#include <QButtonGroup>
#include <QEvent>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>

namespace {
constexpr int kHintFlashMs = 900;
}

QeltHandwriteFrame::QeltHandwriteFrame(QWidget* parent)
    : QFrame(parent), m_form(std::make_unique<Ui::QeltHandwriteFrame>()), m_model(new StrokeModel(this)),
      m_recognizer(new HandwriteRecognizer(this))
{
    setupForm();
    connect(m_model, &StrokeModel::strokesChanged, this, &QeltHandwriteFrame::updateButtons);
    connect(m_model, &StrokeModel::strokeAppended, this, &QeltHandwriteFrame::updateButtons);
    connect(m_model, &StrokeModel::historyChanged, this, &QeltHandwriteFrame::updateButtons);
    connect(m_model, &StrokeModel::currentStrokeChanged, this, &QeltHandwriteFrame::updateButtons);
    connect(m_recognizer, &HandwriteRecognizer::busyChanged, this, &QeltHandwriteFrame::onScanningChanged);
    connect(m_recognizer, &HandwriteRecognizer::recognized, this, &QeltHandwriteFrame::qeltRecognized);
    connect(m_recognizer, &HandwriteRecognizer::failed, this, &QeltHandwriteFrame::scanError);
    connect(m_recognizer, &HandwriteRecognizer::rateLimited, this, &QeltHandwriteFrame::rateLimitError);
    connect(m_recognizer, &HandwriteRecognizer::nothingRecognized, this, [this] {
        showError(tr("Nothing could be read in your drawing. Try writing larger and more clearly."));
    });
    m_form->padView->setModel(m_model);
    setBackgroundKind(kKeyHandwriteBackground.get());
    setDrawMode();
    hideError();
    updateButtons();
}

QeltHandwriteFrame::~QeltHandwriteFrame() = default;

void QeltHandwriteFrame::setupForm()
{
    m_form->setupUi(this);
    for (QPushButton* button :
         {m_form->exitButton, m_form->dotsButton, m_form->vLinesButton, m_form->gridButton,
          m_form->undoButton, m_form->redoButton, m_form->drawButton, m_form->eraseButton})
        button->setStyleSheet(utils::styles::flatButton());
    for (QPushButton* button : {m_form->clearButton, m_form->feedbackButton})
        button->setStyleSheet(authoring::textButtonStyle());
    m_form->scanButton->setStyleSheet(utils::styles::primaryButton(16));
    m_form->errorFrame->setStyleSheet(
        QStringLiteral(
            "QFrame#errorFrame {  background: %1;  border: 1px solid %1;}"
            "QLabel {  color: white;}"
            "QPushButton {  background: %1;  border: 1px solid %1;  color: white;  font-weight: 600;}")
            .arg(Palette::red.name()));
    m_form->bottomFrame->setStyleSheet(QStringLiteral("QFrame#bottomFrame {  background: white;}"));

    auto* paper = new QButtonGroup(this);
    paper->addButton(m_form->dotsButton, HandwriteView::Dots);
    paper->addButton(m_form->vLinesButton, HandwriteView::VerticalLines);
    paper->addButton(m_form->gridButton, HandwriteView::Grid);
    connect(paper, &QButtonGroup::idClicked, this, [this](int kind) {
        setBackgroundKind(kind);
        kKeyHandwriteBackground.set(kind);
    });
    auto* tools = new QButtonGroup(this);
    tools->addButton(m_form->drawButton);
    tools->addButton(m_form->eraseButton);

    connect(m_form->exitButton, &QPushButton::clicked, this, &QeltHandwriteFrame::exit);
    connect(m_form->feedbackButton, &QPushButton::clicked, this, &QeltHandwriteFrame::sendFeedback);
    connect(m_form->scanButton, &QPushButton::clicked, this, &QeltHandwriteFrame::scan);
    connect(m_form->errorCloseButton, &QPushButton::clicked, this, &QeltHandwriteFrame::hideError);
    connect(m_form->undoButton, &QPushButton::clicked, this, [this] { m_model->undo(); });
    connect(m_form->redoButton, &QPushButton::clicked, this, [this] { m_model->redo(); });
    connect(m_form->clearButton, &QPushButton::clicked, this, [this] { m_model->eraseAll(); });
    connect(m_form->drawButton, &QPushButton::clicked, this, &QeltHandwriteFrame::setDrawMode);
    connect(m_form->eraseButton, &QPushButton::clicked, this, &QeltHandwriteFrame::setEraseMode);

    m_hint = new AnimatedLabel(tr("Write your math here, then press Scan"), m_form->padView->viewport());
    m_hint->setObjectName(QStringLiteral("hintLabel"));
    m_hint->setAlignment(Qt::AlignCenter);
    m_hint->setColor(Palette::grey);
    m_hint->setFontSize(16);
    m_hint->setFontWeight(400);
    m_hint->setContentsMargins(12, 6, 12, 6);
    // The hint lies on the paper but never takes the pen's strokes.
    m_hint->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_form->padView->viewport()->installEventFilter(this);

    m_hintFlash = new QParallelAnimationGroup(this);
    for (const auto& [property, from] :
         {std::pair{QByteArrayLiteral("backgroundColor"), Palette::blueDisabled},
          std::pair{QByteArrayLiteral("borderColor"), Palette::blueHover}}) {
        auto* animation = new QPropertyAnimation(m_hint, property, m_hintFlash);
        animation->setDuration(kHintFlashMs);
        animation->setStartValue(QColor(from));
        animation->setEndValue(QColor(Qt::white));
        m_hintFlash->addAnimation(animation);
    }
}

HandwriteView* QeltHandwriteFrame::view() const
{
    return m_form->padView;
}

bool QeltHandwriteFrame::isScanning() const
{
    return m_recognizer->isBusy();
}

void QeltHandwriteFrame::clear()
{
    m_model->reset();
}

void QeltHandwriteFrame::hideError()
{
    m_form->errorFrame->hide();
    m_form->errorLabel->clear();
}

QString QeltHandwriteFrame::errorText() const
{
    return m_form->errorFrame->isHidden() ? QString() : m_form->errorLabel->text();
}

void QeltHandwriteFrame::setDrawMode()
{
    m_model->setTool(StrokeModel::Tool::Pen);
    m_form->drawButton->setChecked(true);
    m_form->padView->setCursor(Qt::CrossCursor);
}

void QeltHandwriteFrame::setEraseMode()
{
    m_model->setTool(StrokeModel::Tool::Eraser);
    m_form->eraseButton->setChecked(true);
    m_form->padView->setCursor(Qt::PointingHandCursor);
}

void QeltHandwriteFrame::setBackgroundKind(int kind)
{
    m_form->padView->setBackgroundKind(kind);
    const int shown = m_form->padView->backgroundKind();
    for (QPushButton* button : {m_form->dotsButton, m_form->vLinesButton, m_form->gridButton})
        button->setChecked(false);
    QPushButton* const buttons[] = {m_form->dotsButton, m_form->vLinesButton, m_form->gridButton};
    buttons[shown]->setChecked(true);
}

void QeltHandwriteFrame::scan()
{
    if (isScanning())
        return;
    if (m_model->isEmpty()) {
        flashHint();
        return;
    }
    hideError();
    m_recognizer->recognize(m_model->strokes());
}

void QeltHandwriteFrame::showError(const QString& text)
{
    m_form->errorLabel->setText(text);
    m_form->errorFrame->show();
}

void QeltHandwriteFrame::onScanningChanged(bool scanning)
{
    m_form->padView->setInputEnabled(!scanning);
    m_form->scanButton->setText(scanning ? tr("Scanning...") : tr("Scan"));
    updateButtons();
}

void QeltHandwriteFrame::updateButtons()
{
    const bool idle = !isScanning();
    m_form->scanButton->setEnabled(idle);
    m_form->undoButton->setEnabled(idle && m_model->canUndo());
    m_form->redoButton->setEnabled(idle && m_model->canRedo());
    m_form->clearButton->setEnabled(idle && !m_model->isEmpty());
    m_hint->setVisible(m_model->isEmpty() && !m_model->isPressed());
}

void QeltHandwriteFrame::placeHint()
{
    m_hint->adjustSize();
    const QSize paper = m_form->padView->viewport()->size();
    m_hint->move((paper.width() - m_hint->width()) / 2, (paper.height() - m_hint->height()) / 2);
}

void QeltHandwriteFrame::flashHint()
{
    m_hint->show();
    m_hintFlash->stop();
    m_hintFlash->start();
}

bool QeltHandwriteFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_form->padView->viewport() && event->type() == QEvent::Resize)
        placeHint();
    return QFrame::eventFilter(watched, event);
}
