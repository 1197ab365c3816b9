#pragma once

// One part of a gallery animation set. It knows nothing of time: the set tells it its progress.
class Animation
{
public:
    virtual ~Animation() = default;
    // t runs from 0 towards 1 over the set's ticks.
    virtual void step(double t) = 0;
    virtual void finish() = 0;
};
