#pragma once
// The address bar's edit field: Enter reaches the callback (also while the drop-down list
// is open), Esc selects everything, and Ctrl with the arrows or Backspace works on words
// separated by blanks, "." and "/", so that an address can be taken apart segment by segment.
#include <QLineEdit>

class IReturnCallback;
class QComboBox;

class CSpecialEdit : public QLineEdit {
    Q_OBJECT
public:
    // `callback` may be null. `inCombo` marks an edit that serves an editable combo box.
    CSpecialEdit(IReturnCallback* callback, bool inCombo, QWidget* parent = nullptr);

    // Makes `combo` use this edit, and lets Enter in its open list reach the callback.
    void AttachToCombo(QComboBox* combo);

    // How many characters before `caret` the previous word starts; 0 at the start.
    static int PreviousWordDistance(const QString& text, int caret);
    // How many characters after `caret` the next word group ends; 0 at the end.
    static int NextWordDistance(const QString& text, int caret);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CallReturn();

    IReturnCallback* m_callback;
    bool m_inCombo;
    QComboBox* m_combo = nullptr;
};
