// Reading a model document from a file.
#pragma once

#include <expected>
#include <string>
#include <string_view>

namespace velm::analysis {

// The whole file as text, or the system's text of the failure ("No such file or directory (os
// error 2)"); a file that is not valid UTF-8 fails too.
std::expected<std::string, std::string> read_text_file(std::string_view path);

}  // namespace velm::analysis
