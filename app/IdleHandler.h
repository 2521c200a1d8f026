#pragma once

// Runs once after each burst of input, when the main loop has nothing left to do.
class IIdleHandler {
public:
    virtual ~IIdleHandler() = default;
    virtual bool OnIdle() = 0;
};
