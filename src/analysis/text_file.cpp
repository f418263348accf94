#include "analysis/text_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "base/system_error.hpp"
#include "json/utf8.hpp"

namespace velm::analysis {

std::expected<std::string, std::string> read_text_file(std::string_view path) {
  if (path.find('\0') != std::string_view::npos)
    return std::unexpected("the path contains a NUL character, which no file name can hold");
  const std::string name(path);
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::unexpected(os_error_text(errno));
  std::string text;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
    text.reserve(static_cast<std::size_t>(info.st_size));
  std::array<char, 1 << 16> block;
  while (true) {
    const ssize_t got = ::read(fd, block.data(), block.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      const int error_number = errno;
      ::close(fd);
      return std::unexpected(os_error_text(error_number));
    }
    if (got == 0) break;
    text.append(block.data(), static_cast<std::size_t>(got));
  }
  ::close(fd);
  if (!json::is_valid_utf8(text)) return std::unexpected("stream did not contain valid UTF-8");
  return text;
}

}  // namespace velm::analysis
