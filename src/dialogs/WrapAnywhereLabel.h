#pragma once

#include <QLabel>

// A plain-text label that breaks its text at any character where the width runs out. A text without
// spaces (a custom delimiter) then never widens what holds the label: the label grows in height instead.
class WrapAnywhereLabel : public QLabel
{
    Q_OBJECT

public:
    explicit WrapAnywhereLabel(QWidget* parent = nullptr);

    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
