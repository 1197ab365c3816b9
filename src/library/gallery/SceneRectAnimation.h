#pragma once

#include "library/gallery/Animation.h"

#include <functional>

// Put last in a set: the scene shrinks only once the removed cards are gone.
class SceneRectAnimation : public Animation
{
public:
    explicit SceneRectAnimation(std::function<void()> action) : m_action(std::move(action)) {}
    void step(double) override {}
    void finish() override
    {
        if (m_action)
            m_action();
    }

private:
    std::function<void()> m_action;
};
