#pragma once

// Told when the user presses Enter in an edit field (the address bar's edit).
class IReturnCallback {
public:
    virtual ~IReturnCallback() = default;
    virtual void OnReturn() = 0;
};
