#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

class QWidget;

// While the main window shows one Qelt, the arrow keys and Delete move between Qelts, rows and tabs and
// delete the shown Qelt, whichever of its widgets has the focus; the chat question field keeps them.
class NavigateEventFilter : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit NavigateEventFilter(QObject* parent = nullptr);

    bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override;
    // The active window is the main window on its Qelt view page.
    static bool isQeltViewActive();

signals:
    void PrevQelt();
    void NextQelt();
    void FirstQelt();
    void LastQelt();
    void PrevRow();
    void PrevTab();
    void NextRow();
    void NextTab();
    void DeleteQelt();

public slots:
    void OnFocusChanged(QWidget* old, QWidget* now);

private:
    bool m_editQueryFocused = false;
};
