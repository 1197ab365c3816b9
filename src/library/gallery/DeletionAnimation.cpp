#include "library/gallery/DeletionAnimation.h"

#include "library/gallery/QeltGraphicsItem.h"

DeletionAnimation::DeletionAnimation(QeltGraphicsItem* card, Action action)
    : m_card(card), m_action(std::move(action))
{
}

void DeletionAnimation::step(double t)
{
    m_card->setOpacity(1.0 - t);
}

void DeletionAnimation::finish()
{
    if (m_action)
        m_action(m_card);
}
