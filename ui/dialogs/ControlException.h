#pragma once
#include "helpers/WException.h"

class QWidget;

// A validation failure that names the control holding the offending value, so that the
// dialog can bring it forward.
class CControlException : public HELPERS::WException {
public:
    CControlException(std::string message, QWidget* control)
        : HELPERS::WException(std::move(message)), m_control(control)
    {}
    QWidget* Control() const { return m_control; }

private:
    QWidget* m_control;
};
