#pragma once

#include "library/gallery/Animation.h"

#include <memory>
#include <vector>

// The animations that run together on the gallery's timer: kTicks steps, then every finishing action in
// the order the animations were added.
class AnimationSet
{
public:
    static constexpr int kTicks = 60;
    static constexpr int kTickMs = 10;

    void add(std::unique_ptr<Animation> animation) { m_animations.push_back(std::move(animation)); }
    bool isEmpty() const { return m_animations.empty(); }
    int frame() const { return m_frame; }
    // Drops every animation without finishing it and starts counting anew.
    void clear();
    // One step of every animation; true when this was the last tick, after which the animations have
    // finished and the set is empty.
    bool tick();

private:
    std::vector<std::unique_ptr<Animation>> m_animations;
    int m_frame = 0;
};
