#pragma once
// Answers the program's boxes in tests: records every prompt and answers questions and
// folder pickers from queues. A question without a queued answer fails the test and
// answers No; nothing ever waits for a person.
#include "ui/Prompts.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace qtest {

class CScriptedPrompts : public IPrompts {
public:
    enum Kind { Error, Information, Question, Folder, Modal };
    struct Prompt {
        Kind kind;
        std::string title;
        std::string text;
        std::string details = {};
    };

    void ShowError(QWidget* owner, const QString& text, const QString& title) override;
    void ShowErrorDetails(QWidget* owner, const QString& text, const QString& title, const QString& details) override;
    void ShowInformation(QWidget* owner, const QString& text, const QString& title) override;
    bool AskYesNo(QWidget* owner, const QString& text, const QString& title) override;
    QString ChooseFolder(QWidget* owner, const QString& caption, const QString& startFolder) override;
    // Records the dialog's title and hands it to the next queued handler (which may show
    // it, look at it and click in it) instead of running it; Rejected without one.
    int RunModal(QDialog& dialog) override;

    void QueueAnswer(bool yes) { m_answers.push_back(yes); }
    void QueueFolder(const std::string& folder) { m_folders.push_back(folder); }
    void QueueModal(std::function<int(QDialog&)> handler) { m_modals.push_back(std::move(handler)); }
    void Reset();

    const std::vector<Prompt>& Seen() const { return m_seen; }
    int Count(Kind kind) const;

private:
    std::vector<Prompt> m_seen;
    std::deque<bool> m_answers;
    std::deque<std::string> m_folders;
    std::deque<std::function<int(QDialog&)>> m_modals;
};

// The prompts every GUI test runs with (installed by the test environment).
CScriptedPrompts& TestPrompts();

} // namespace qtest
