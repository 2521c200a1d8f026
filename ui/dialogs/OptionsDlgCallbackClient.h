#pragma once

// What the Options dialog asks of the window that opened it (the main frame).
class IOptionsDlgCallbackClient {
public:
    virtual ~IOptionsDlgCallbackClient() = default;
    // The dialog is closing.
    virtual void OnOptionsDlgClosed() = 0;
    // Whether options may be changed now (not while a download job runs).
    virtual bool CanApplyOptions() = 0;
    // Take the dialog's values (through COptionsDlg::GetOptions when it IsModified).
    virtual void ApplyOptions() = 0;
};
