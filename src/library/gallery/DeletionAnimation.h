#pragma once

#include "library/gallery/Animation.h"

#include <functional>

class QeltGraphicsItem;

// Fades a removed card out; at the end its action takes the card away.
class DeletionAnimation : public Animation
{
public:
    using Action = std::function<void(QeltGraphicsItem*)>;

    DeletionAnimation(QeltGraphicsItem* card, Action action);
    void step(double t) override;
    void finish() override;

private:
    QeltGraphicsItem* m_card; // not owned
    Action m_action;
};
