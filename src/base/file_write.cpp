#include "base/file_write.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <random>
#include <string>

#include <filesystem>

#include <fmt/format.h>

#include "base/system_error.hpp"

namespace velm::base {
namespace {

namespace fs = std::filesystem;

std::unexpected<Error> os_failure(int error_number) {
  return fail(ErrorCode::write_failed, os_error_text(error_number));
}

// Follows symbolic links the way opening the path for writing would, so that the file at the
// end of the chain is replaced rather than the link.
Expected<fs::path> resolve_links(fs::path path) {
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

// What the replacement takes over from the file it replaces.
struct Attributes {
  mode_t mode = 0;
  uid_t owner = 0;
  gid_t group = 0;
};

// The attributes of the file being replaced, or nothing when there is none yet. The file must
// be one this process could open for writing, as a plain write would: a read-only file is not
// replaced behind its owner's back. It is opened without truncation, and without blocking on a
// FIFO.
Expected<std::optional<Attributes>> existing_attributes(const fs::path& target) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    return os_failure(errno);
  }
  struct stat info {};
  const int status = ::fstat(fd, &info);
  const int error_number = errno;
  ::close(fd);
  if (status != 0) return os_failure(error_number);
  return Attributes{static_cast<mode_t>(info.st_mode & 07777), info.st_uid, info.st_gid};
}

// Gives the new file the owner, group and permission bits of the one it replaces. The owner and
// group are kept where the process may set them (a process may not give a file away); the bits
// always are, so the results never become readable to more users than before.
Expected<void> take_attributes(int fd, const std::optional<Attributes>& old) {
  if (!old) return {};
  struct stat info {};
  if (::fstat(fd, &info) != 0) return os_failure(errno);
  if ((info.st_uid != old->owner || info.st_gid != old->group) &&
      ::fchown(fd, old->owner, old->group) != 0 && errno != EPERM)
    return os_failure(errno);
  // After the change of owner, which clears the set-user-ID and set-group-ID bits.
  if (::fchmod(fd, old->mode) != 0) return os_failure(errno);
  return {};
}

class TemporaryNames {
 public:
  explicit TemporaryNames(const fs::path& target)
      : folder_(target.parent_path()),
        base_(target.filename().string()),
        random_(std::random_device()() ^
                static_cast<std::uint64_t>(
                    std::chrono::steady_clock::now().time_since_epoch().count())) {}
  fs::path next() { return folder_ / fmt::format(".{}.{:016x}.tmp", base_, random_()); }

 private:
  fs::path folder_;
  std::string base_;
  std::mt19937_64 random_;
};

// Closes the descriptor; the first error of the write, the attributes or the close.
Expected<void> finish(int fd, std::string_view contents, const std::optional<Attributes>& old) {
  int error_number = write_all(fd, contents);
  Expected<void> attributes;
  if (error_number == 0) attributes = take_attributes(fd, old);
  if (::close(fd) != 0 && error_number == 0) error_number = errno;
  if (error_number != 0) return os_failure(error_number);
  return attributes;
}

// Where the file system has no unnamed files: a named temporary file, made exclusively and
// with the mode a plain create would give, removed again if anything fails.
Expected<fs::path> write_named(TemporaryNames& names, std::string_view contents,
                               const std::optional<Attributes>& old) {
  fs::path temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temporary = names.next();
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || attempt == 100)) return os_failure(errno);
  }
  if (auto done = finish(fd, contents, old); !done) {
    ::unlink(temporary.c_str());
    return std::unexpected(done.error());
  }
  return temporary;
}

// Links the unnamed file open at fd under a new temporary name in its folder. Through
// /proc/self/fd, which any process may do; where /proc is missing, through AT_EMPTY_PATH,
// which needs CAP_DAC_READ_SEARCH. Nothing when neither works.
std::optional<fs::path> link_unnamed(int fd, TemporaryNames& names) {
  const std::string proc_path = fmt::format("/proc/self/fd/{}", fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path name = names.next();
    if (::linkat(AT_FDCWD, proc_path.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
      return name;
    if (errno == EEXIST) continue;
    if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return name;
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

// The complete new file under a temporary name beside the target. It is written while it has
// no name at all (O_TMPFILE), so a process killed meanwhile leaves nothing behind; it gets its
// name only once complete.
Expected<fs::path> write_temporary(const fs::path& target, std::string_view contents,
                                   const std::optional<Attributes>& old) {
  TemporaryNames names(target);
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    // The file system or the kernel has no unnamed files.
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
      return write_named(names, contents, old);
    return os_failure(errno);
  }
  int error_number = write_all(fd, contents);
  Expected<void> attributes;
  if (error_number == 0) attributes = take_attributes(fd, old);
  std::optional<fs::path> named;
  if (error_number == 0 && attributes) named = link_unnamed(fd, names);
  if (::close(fd) != 0 && error_number == 0 && named) {
    error_number = errno;
    ::unlink(named->c_str());
  }
  if (error_number != 0) return os_failure(error_number);
  if (!attributes) return std::unexpected(attributes.error());
  if (!named) return write_named(names, contents, old);
  return *named;
}

// A device node or a FIFO is written as a plain write would: opened (a FIFO waits for its
// reader) and written in place.
Expected<void> write_in_place(const fs::path& target, std::string_view contents) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return os_failure(errno);
  int error_number = write_all(fd, contents);
  if (::close(fd) != 0 && error_number == 0) error_number = errno;
  if (error_number != 0) return os_failure(error_number);
  return {};
}

}  // namespace

int write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

Expected<void> replace_file(std::string_view path, std::string_view data) {
  if (path.find('\0') != std::string_view::npos)
    return fail(ErrorCode::write_failed,
                "the path contains a NUL character, which no file name can hold");
  auto target = resolve_links(fs::path(path));
  if (!target) return std::unexpected(target.error());
  struct stat info {};
  if (::stat(target->c_str(), &info) == 0 &&
      (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) || S_ISFIFO(info.st_mode)))
    return write_in_place(*target, data);
  auto old = existing_attributes(*target);
  if (!old) return std::unexpected(old.error());
  // The temporary file lives in the target's folder: a rename never crosses file systems.
  auto temporary = write_temporary(*target, data, *old);
  if (!temporary) return std::unexpected(temporary.error());
  if (::rename(temporary->c_str(), target->c_str()) != 0) {
    const int error_number = errno;
    ::unlink(temporary->c_str());
    return os_failure(error_number);
  }
  return {};
}

}  // namespace velm::base
