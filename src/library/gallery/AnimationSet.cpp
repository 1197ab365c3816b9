#include "library/gallery/AnimationSet.h"

void AnimationSet::clear()
{
    m_animations.clear();
    m_frame = 0;
}

bool AnimationSet::tick()
{
    const double t = m_frame / double(kTicks);
    for (const auto& animation : m_animations)
        animation->step(t);
    if (m_frame++ < kTicks - 1)
        return false;
    // A finishing action may rebuild the page, which must find the set already empty.
    auto finishing = std::move(m_animations);
    m_animations.clear();
    m_frame = 0;
    for (const auto& animation : finishing)
        animation->finish();
    return true;
}
