#include "analysis/save.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <random>

#include <fmt/format.h>

#include "base/system_error.hpp"
#include "model/document.hpp"

namespace velm::analysis {
namespace {

namespace fs = std::filesystem;

std::unexpected<std::string> os_failure(int error_number) {
  return std::unexpected(os_error_text(error_number));
}

// Follows symbolic links the way opening the path for writing would, so that the file at the
// end of the chain is replaced rather than the link.
std::expected<fs::path, std::string> resolve_links(fs::path path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
      if (errno == ENOENT) return path;
      return os_failure(errno);
    }
    if (!S_ISLNK(info.st_mode)) return path;
    std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0) return os_failure(errno);
    target.resize(static_cast<std::size_t>(length));
    const fs::path next(target);
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return os_failure(ELOOP);
}

bool write_all(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t written = ::write(fd, contents.data(), contents.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

std::expected<void, std::string> replace_file(const fs::path& file_name,
                                              std::string_view contents) {
  auto target = resolve_links(file_name);
  if (!target) return std::unexpected(target.error());
  const fs::path folder = target->parent_path();

  // A unique temporary file in the target's folder (a rename never crosses file systems), made
  // exclusively and with the mode a plain create would give.
  std::random_device entropy;
  std::mt19937_64 random(
      entropy() ^
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::path temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temporary = folder / fmt::format(".{}.{:016x}.tmp", target->filename().string(), random());
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || attempt == 100)) return os_failure(errno);
  }
  const bool written = write_all(fd, contents);
  int error_number = written ? 0 : errno;
  if (::close(fd) != 0 && error_number == 0) error_number = errno;
  if (error_number == 0 && ::rename(temporary.c_str(), target->c_str()) != 0) error_number = errno;
  if (error_number != 0) {
    ::unlink(temporary.c_str());
    return os_failure(error_number);
  }
  return {};
}

std::expected<void, std::string> save_results_to_json(const model::VELM& model,
                                                      const fs::path& file_name) {
  return replace_file(file_name, model::write_model(model));
}

}  // namespace velm::analysis
