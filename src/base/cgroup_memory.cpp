#include "base/cgroup_memory.hpp"

#include <algorithm>
#include <charconv>

namespace velm::base::cgroup {

namespace {

// The next line of `text` from `at`, without its newline.
std::string_view next_line(std::string_view text, std::size_t& at) {
  const std::size_t end = std::min(text.find('\n', at), text.size());
  const std::string_view line = text.substr(at, end - at);
  at = end + 1;
  return line;
}

// The words of a line, split at spaces.
std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t end = std::min(line.find(' ', at), line.size());
    if (end > at) out.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

// Whether the comma-separated `list` holds `item`.
bool lists(std::string_view list, std::string_view item) {
  std::size_t at = 0;
  while (at <= list.size()) {
    const std::size_t end = std::min(list.find(',', at), list.size());
    if (list.substr(at, end - at) == item) return true;
    at = end + 1;
  }
  return false;
}

// Mountinfo writes a space in a path as \040 (and a tab, newline, backslash likewise).
std::string unescape(std::string_view path) {
  std::string out;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto octal = [&](std::size_t k) { return path[k] >= '0' && path[k] <= '7'; };
    if (path[i] == '\\' && i + 3 < path.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      out.push_back(static_cast<char>((path[i + 1] - '0') * 64 + (path[i + 2] - '0') * 8 +
                                      (path[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(path[i]);
    }
  }
  return out;
}

// A whole decimal number, nothing else.
std::optional<std::uint64_t> number(std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data() || end != text.data() + text.size())
    return std::nullopt;
  return value;
}

}  // namespace

std::vector<Membership> memberships(std::string_view proc_self_cgroup) {
  std::vector<Membership> out;
  for (std::size_t at = 0; at < proc_self_cgroup.size();) {
    const std::string_view line = next_line(proc_self_cgroup, at);
    const std::size_t first = line.find(':');
    const std::size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (second == std::string_view::npos) continue;
    const std::string_view id = line.substr(0, first);
    const std::string_view controllers = line.substr(first + 1, second - first - 1);
    const std::string_view path = line.substr(second + 1);
    if (id == "0" && controllers.empty())
      out.push_back({true, std::string(path)});
    else if (lists(controllers, "memory"))
      out.push_back({false, std::string(path)});
  }
  return out;
}

std::vector<Mount> mounts(std::string_view mountinfo) {
  std::vector<Mount> out;
  for (std::size_t at = 0; at < mountinfo.size();) {
    const std::vector<std::string_view> fields = words(next_line(mountinfo, at));
    const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
    if (fields.size() < 5 || dash == fields.end() || fields.end() - dash < 2) continue;
    const std::string_view type = *(dash + 1);
    const std::string_view super = fields.end() - dash >= 4 ? *(dash + 3) : std::string_view();
    if (type == "cgroup2")
      out.push_back({true, unescape(fields[3]), unescape(fields[4])});
    else if (type == "cgroup" && lists(super, "memory"))
      out.push_back({false, unescape(fields[3]), unescape(fields[4])});
  }
  return out;
}

std::vector<std::string> group_folders(const Membership& membership, const Mount& mount) {
  // The group's path below the mount's root ("/" shows the whole hierarchy).
  std::string_view path = membership.path;
  const std::string_view root = mount.root == "/" ? std::string_view() : mount.root;
  if (path.substr(0, root.size()) != root) return {};
  path.remove_prefix(root.size());
  if (!path.empty() && path.front() != '/') return {};
  std::string below(path);
  while (!below.empty() && below.back() == '/') below.pop_back();
  std::vector<std::string> out;
  for (;;) {
    out.push_back(mount.mount_point + below);
    if (below.empty()) break;
    below.erase(below.rfind('/'));
  }
  return out;
}

std::optional<std::uint64_t> parse_limit(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  return number(text);
}

std::optional<std::uint64_t> stat_value(std::string_view memory_stat, std::string_view key) {
  for (std::size_t at = 0; at < memory_stat.size();) {
    const std::vector<std::string_view> fields = words(next_line(memory_stat, at));
    if (fields.size() == 2 && fields[0] == key) return number(fields[1]);
  }
  return std::nullopt;
}

std::optional<std::uint64_t> group_memory_left(const std::string& folder, bool unified,
                                               const ReadFile& read) {
  const std::optional<std::string> limit_text =
      read(folder + (unified ? "/memory.max" : "/memory.limit_in_bytes"));
  const std::optional<std::uint64_t> limit = limit_text ? parse_limit(*limit_text) : std::nullopt;
  if (!limit) return std::nullopt;
  std::uint64_t used = 0;
  if (const auto usage_text =
          read(folder + (unified ? "/memory.current" : "/memory.usage_in_bytes")))
    used = parse_limit(*usage_text).value_or(0);
  if (const auto stat = read(folder + "/memory.stat")) {
    const std::uint64_t cache =
        stat_value(*stat, unified ? "inactive_file" : "total_inactive_file").value_or(0);
    used -= std::min(used, cache);
  }
  return *limit > used ? *limit - used : 0;
}

std::optional<std::uint64_t> memory_left(const ReadFile& read) {
  const std::optional<std::string> groups = read("/proc/self/cgroup");
  if (!groups) return std::nullopt;
  const std::optional<std::string> table = read("/proc/self/mountinfo");
  std::vector<Mount> found = table ? mounts(*table) : std::vector<Mount>{};
  // Without a mount table, the usual places.
  if (found.empty()) found = {{true, "/", "/sys/fs/cgroup"}, {false, "/", "/sys/fs/cgroup/memory"}};
  std::optional<std::uint64_t> smallest;
  for (const Membership& membership : memberships(*groups))
    for (const Mount& mount : found) {
      if (mount.unified != membership.unified) continue;
      for (const std::string& folder : group_folders(membership, mount)) {
        const std::optional<std::uint64_t> left = group_memory_left(folder, mount.unified, read);
        if (left && (!smallest || *left < *smallest)) smallest = left;
      }
    }
  return smallest;
}

}  // namespace velm::base::cgroup
