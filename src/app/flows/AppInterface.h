#pragma once

// What the application tells the parts that must not disturb the user, such as the updater before it
// replaces the program.
class AppInterface
{
public:
    virtual ~AppInterface() = default;
    virtual bool IsIdle() const = 0;
};
