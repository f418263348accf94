#pragma once

#include <string>

namespace velm::base {

// An operating-system failure as users see it: "No such file or directory (os error 2)".
std::string os_error_text(int error_number);

}  // namespace velm::base
