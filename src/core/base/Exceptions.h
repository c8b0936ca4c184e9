#pragma once
// The exception family of the core. Every exception carries a message that
// callers may log or show; CUserException is the silent one whose reason has
// already been logged where it arose.

#include <stdexcept>
#include <string>

namespace bram {

class CException : public std::exception {
public:
    explicit CException(std::string message = {}) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }
    const std::string& GetErrorMessage() const noexcept { return m_message; }

private:
    std::string m_message;
};

// Raised after the reason was logged; shows nothing of its own.
class CUserException : public CException {
public:
    CUserException() : CException("User exception.") {}
};

class CNotSupportedException : public CException {
public:
    explicit CNotSupportedException(std::string message = "Operation not supported.") : CException(std::move(message))
    {
    }
};

class CInvalidArgException : public CException {
public:
    explicit CInvalidArgException(std::string message = "Invalid argument.") : CException(std::move(message)) {}
};

// Archive and module loading failures; the message is a fixed English text.
class CModuleException : public CException {
public:
    explicit CModuleException(std::string message) : CException(std::move(message)) {}
};

} // namespace bram
