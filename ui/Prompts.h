#pragma once
// The one way the program asks or tells the user something in a box: every message box,
// question and folder picker goes through the installed IPrompts, so that tests answer
// them instead of a person.
#include <QString>

class QDialog;
class QWidget;

class IPrompts {
public:
    virtual ~IPrompts() = default;
    // Error icon, OK button.
    virtual void ShowError(QWidget* owner, const QString& text, const QString& title) = 0;
    // The same with `details` behind the box's details button; prompts that have no such
    // button show the box without them.
    virtual void ShowErrorDetails(QWidget* owner, const QString& text, const QString& title, const QString& details)
    {
        (void)details;
        ShowError(owner, text, title);
    }
    // Information icon, OK button.
    virtual void ShowInformation(QWidget* owner, const QString& text, const QString& title) = 0;
    // Question icon, Yes and No buttons; true for Yes.
    virtual bool AskYesNo(QWidget* owner, const QString& text, const QString& title) = 0;
    // An existing folder, or an empty text when the user cancelled.
    virtual QString ChooseFolder(QWidget* owner, const QString& caption, const QString& startFolder) = 0;
    // Runs the program's own modal dialog (the About box) and returns its result code.
    virtual int RunModal(QDialog& dialog);
};

// The installed prompts: the real dialogs unless SetPrompts replaced them.
IPrompts& Prompts();

// Installs `prompts` (null: the real dialogs again) and returns the one it replaces.
IPrompts* SetPrompts(IPrompts* prompts);
