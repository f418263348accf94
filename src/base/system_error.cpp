#include "base/system_error.hpp"

#include <system_error>

#include <fmt/format.h>

namespace velm::base {

std::string os_error_text(int error_number) {
  return fmt::format("{} (os error {})", std::generic_category().message(error_number),
                     error_number);
}

}  // namespace velm::base
