#include "ui/SpecialEdit.h"

#include "ui/ReturnCallback.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>

#include <boost/regex.hpp>

#include <string>

namespace {

// Tried in this order on the text before the caret; the first that matches gives, in its
// first group, what the caret jumps over: a lone word, the last of several words, or
// nothing but separators.
const boost::regex& PreviousWordPattern(int i)
{
    static const boost::regex patterns[] = {
        boost::regex(R"(^[\s\./]*([^\s\./]+[\s\./]*$))", boost::regex::perl),
        boost::regex(R"(^(?:[\s\./]*[^\s\./]+[\s\./]+)+([^\s\./]+[\s\./]*$))", boost::regex::perl),
        boost::regex(R"(^([\s\./]+$))", boost::regex::perl),
    };
    return patterns[i];
}

const boost::regex& NextWordPattern()
{
    static const boost::regex pattern(R"((^(?:(?:[\s\./]+[^\s\./]+[\s\./]+)|(?:[\s\./]+[^\s\./]+)|)"
                                      R"((?:[^\s\./]+[\s\./]+)|(?:[^\s\./]+)|(?:[\s\./]+))).*)",
                                      boost::regex::perl);
    return pattern;
}

// The patterns work on UTF-8 bytes; the edit counts characters.
int CharacterCount(const std::string& utf8) { return static_cast<int>(QString::fromStdString(utf8).size()); }

} // namespace

CSpecialEdit::CSpecialEdit(IReturnCallback* callback, bool inCombo, QWidget* parent)
    : QLineEdit(parent), m_callback(callback), m_inCombo(inCombo)
{}

void CSpecialEdit::AttachToCombo(QComboBox* combo)
{
    m_combo = combo;
    combo->setLineEdit(this);
    // Enter must not add the text to the list; the frame keeps the list itself.
    combo->setInsertPolicy(QComboBox::NoInsert);
    // While the list is open it has the keyboard; this filter sees Enter before the list
    // does (filters installed later run first).
    combo->view()->installEventFilter(this);
}

int CSpecialEdit::PreviousWordDistance(const QString& text, int caret)
{
    if (caret <= 0)
        return 0;
    const std::string before = text.left(caret).toStdString();
    boost::smatch match;
    for (int i = 0; i < 3; ++i) {
        if (boost::regex_match(before, match, PreviousWordPattern(i)))
            return CharacterCount(match[1].str());
    }
    return 0;
}

int CSpecialEdit::NextWordDistance(const QString& text, int caret)
{
    if (caret >= text.size())
        return 0;
    const std::string after = text.mid(caret).toStdString();
    boost::smatch match;
    if (boost::regex_match(after, match, NextWordPattern()))
        return CharacterCount(match[1].str());
    return 0;
}

void CSpecialEdit::CallReturn()
{
    if (m_callback)
        m_callback->OnReturn();
}

void CSpecialEdit::keyPressEvent(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Handled here and not passed on, so no returnPressed reaches the combo box.
        CallReturn();
        event->accept();
        return;
    case Qt::Key_Escape:
        selectAll();
        event->accept();
        return;
    case Qt::Key_Left:
        if (ctrl) {
            cursorBackward(shift, PreviousWordDistance(text(), cursorPosition()));
            event->accept();
            return;
        }
        break;
    case Qt::Key_Right:
        if (ctrl) {
            cursorForward(shift, NextWordDistance(text(), cursorPosition()));
            event->accept();
            return;
        }
        break;
    case Qt::Key_Backspace:
        if (ctrl) {
            const int caret = cursorPosition();
            const int distance = PreviousWordDistance(text(), caret);
            if (distance > 0) {
                setSelection(caret - distance, distance);
                insert(QString()); // one undo step
            }
            event->accept();
            return;
        }
        break;
    default: break;
    }
    QLineEdit::keyPressEvent(event);
}

void CSpecialEdit::keyReleaseEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: event->accept(); return;
    default: QLineEdit::keyReleaseEvent(event);
    }
}

bool CSpecialEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (m_inCombo && m_combo && watched == m_combo->view() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // The highlighted entry becomes the text first, as the closed list would show it.
            const QModelIndex current = m_combo->view()->currentIndex();
            if (current.isValid())
                m_combo->setCurrentIndex(current.row());
            m_combo->hidePopup();
            CallReturn();
            return true;
        }
    }
    return QLineEdit::eventFilter(watched, event);
}
