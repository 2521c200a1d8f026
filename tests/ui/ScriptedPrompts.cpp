#include "ScriptedPrompts.h"

#include <QDialog>
#include <gtest/gtest.h>

namespace qtest {

void CScriptedPrompts::ShowError(QWidget*, const QString& text, const QString& title)
{
    m_seen.push_back({Error, title.toStdString(), text.toStdString()});
}

void CScriptedPrompts::ShowErrorDetails(QWidget*, const QString& text, const QString& title, const QString& details)
{
    m_seen.push_back({Error, title.toStdString(), text.toStdString(), details.toStdString()});
}

void CScriptedPrompts::ShowInformation(QWidget*, const QString& text, const QString& title)
{
    m_seen.push_back({Information, title.toStdString(), text.toStdString()});
}

bool CScriptedPrompts::AskYesNo(QWidget*, const QString& text, const QString& title)
{
    m_seen.push_back({Question, title.toStdString(), text.toStdString()});
    if (m_answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << title.toStdString() << ": " << text.toStdString();
        return false;
    }
    const bool yes = m_answers.front();
    m_answers.pop_front();
    return yes;
}

QString CScriptedPrompts::ChooseFolder(QWidget*, const QString& caption, const QString&)
{
    m_seen.push_back({Folder, caption.toStdString(), std::string()});
    if (m_folders.empty()) {
        ADD_FAILURE() << "unexpected folder picker: " << caption.toStdString();
        return QString();
    }
    const std::string folder = m_folders.front();
    m_folders.pop_front();
    return QString::fromStdString(folder);
}

int CScriptedPrompts::RunModal(QDialog& dialog)
{
    m_seen.push_back({Modal, dialog.windowTitle().toStdString(), std::string()});
    if (m_modals.empty())
        return QDialog::Rejected;
    const std::function<int(QDialog&)> handler = std::move(m_modals.front());
    m_modals.pop_front();
    return handler(dialog);
}

void CScriptedPrompts::Reset()
{
    m_seen.clear();
    m_answers.clear();
    m_folders.clear();
    m_modals.clear();
}

int CScriptedPrompts::Count(Kind kind) const
{
    int n = 0;
    for (const Prompt& p : m_seen)
        n += p.kind == kind ? 1 : 0;
    return n;
}

CScriptedPrompts& TestPrompts()
{
    static CScriptedPrompts prompts;
    return prompts;
}

} // namespace qtest
