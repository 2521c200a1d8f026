#include "ui/Prompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {

class CDialogPrompts : public IPrompts {
public:
    void ShowError(QWidget* owner, const QString& text, const QString& title) override
    {
        QMessageBox::critical(owner, title, text, QMessageBox::Ok);
    }
    void ShowErrorDetails(QWidget* owner, const QString& text, const QString& title, const QString& details) override
    {
        QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, owner);
        box.setDetailedText(details);
        box.exec();
    }
    void ShowInformation(QWidget* owner, const QString& text, const QString& title) override
    {
        QMessageBox::information(owner, title, text, QMessageBox::Ok);
    }
    bool AskYesNo(QWidget* owner, const QString& text, const QString& title) override
    {
        return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
               QMessageBox::Yes;
    }
    QString ChooseFolder(QWidget* owner, const QString& caption, const QString& startFolder) override
    {
        return QFileDialog::getExistingDirectory(owner, caption, startFolder);
    }
};

CDialogPrompts g_dialogPrompts;
IPrompts* g_prompts = &g_dialogPrompts;

} // namespace

int IPrompts::RunModal(QDialog& dialog) { return dialog.exec(); }

IPrompts& Prompts() { return *g_prompts; }

IPrompts* SetPrompts(IPrompts* prompts)
{
    IPrompts* previous = g_prompts;
    g_prompts = prompts ? prompts : &g_dialogPrompts;
    return previous;
}
