#pragma once
// The error the user must act on: a numbered message shown in the main window.
#include <stdexcept>
#include <string>

#include "foundation/format.hpp"

namespace skh {

class UserErrorException : public std::runtime_error {
public:
    // Number 99 carries a free text without a number.
    UserErrorException(int number, const std::string& text)
        : std::runtime_error(number == 99 ? text : skh::format("{}: {}", number, text)), m_number(number) {}
    int number() const noexcept { return m_number; }

private:
    int m_number;
};

}  // namespace skh
