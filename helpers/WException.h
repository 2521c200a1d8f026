#pragma once
#include <string>

namespace HELPERS {

// The general error of the helper library and the configuration code: one message text.
// Thrown by value, caught by reference.
class WException {
public:
    explicit WException(std::string message) : m_message(std::move(message)) {}
    virtual ~WException() = default;
    virtual const char* what() const noexcept { return m_message.c_str(); }

private:
    std::string m_message;
};

} // namespace HELPERS
