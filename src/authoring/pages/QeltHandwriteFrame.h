#pragma once

#include "model/ZorvaneQelt.h"

#include <QFrame>
#include <QString>

#include <memory>

class AnimatedLabel;
class HandwriteRecognizer;
class HandwriteView;
class QPropertyAnimation;
class QParallelAnimationGroup;
class StrokeModel;
namespace Ui {
class QeltHandwriteFrame;
}

// The handwriting pad: draw with the pen, erase whole strokes, undo and redo, choose the paper, and
// scan the drawing into a Qelt on the service. A failed call goes to the application's error display
// (scanError), a request limit to its rate-limit dialog, a drawing with nothing to read to the pad's
// own error line.
class QeltHandwriteFrame : public QFrame
{
    Q_OBJECT

public:
    explicit QeltHandwriteFrame(QWidget* parent);
    ~QeltHandwriteFrame() override;

    // A drawing is being recognised.
    bool isScanning() const;
    // Empties the pad and its history.
    void clear();
    void hideError();
    // Selects the pen.
    void setDrawMode();

    StrokeModel* model() const { return m_model; }
    HandwriteView* view() const;
    QString errorText() const;

signals:
    void exit();
    void scanError(QString errorText);
    void rateLimitError(QString errorMessage);
    void qeltRecognized(ZorvaneQeltPtr qelt);
    void sendFeedback();

public slots:
    void scan();

private:
    void setupForm();
    void setBackgroundKind(int kind);
    void setEraseMode();
    void showError(const QString& text);
    void onScanningChanged(bool scanning);
    void updateButtons();
    void placeHint();
    void flashHint();

    std::unique_ptr<Ui::QeltHandwriteFrame> m_form;
    StrokeModel* m_model;
    HandwriteRecognizer* m_recognizer;
    AnimatedLabel* m_hint = nullptr;
    QParallelAnimationGroup* m_hintFlash = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
