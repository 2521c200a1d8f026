#pragma once
// Answers the program's boxes in tests: records every prompt and answers questions and
// folder pickers from queues. A question without a queued answer fails the test and
// answers No; nothing ever waits for a person.
#include "ui/Prompts.h"

#include <deque>
#include <string>
#include <vector>

namespace qtest {

class CScriptedPrompts : public IPrompts {
public:
    enum Kind { Error, Information, Question, Folder };
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

    void QueueAnswer(bool yes) { m_answers.push_back(yes); }
    void QueueFolder(const std::string& folder) { m_folders.push_back(folder); }
    void Reset();

    const std::vector<Prompt>& Seen() const { return m_seen; }
    int Count(Kind kind) const;

private:
    std::vector<Prompt> m_seen;
    std::deque<bool> m_answers;
    std::deque<std::string> m_folders;
};

// The prompts every GUI test runs with (installed by the test environment).
CScriptedPrompts& TestPrompts();

} // namespace qtest
