#pragma once

#include <QString>

// A usage event that its owner sends later, e.g. the last copied format when the window loses focus.
struct PendingEvent
{
    QString format;
    int kind = 0;
    QString delimiter;

    // The kind survives: it says which row the next copy comes from.
    void clear()
    {
        format.clear();
        delimiter.clear();
    }
    bool isEmpty() const { return format.isEmpty(); }
};
