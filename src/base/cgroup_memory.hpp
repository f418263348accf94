// The memory a control group lets this process take: the limits of the process's own group
// and of every group above it, in the unified hierarchy (v2) and in the memory controller's
// hierarchy (v1), each less what its group already uses. The parsing takes the texts of the
// files and a function that reads them, so that it can be tried on any layout.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velm::base::cgroup {

// The text of a file, nothing when it cannot be read.
using ReadFile = std::function<std::optional<std::string>(const std::string& path)>;

// A hierarchy the process belongs to: v2's ("0::/path") or v1's memory controller's
// ("N:...memory...:/path"), with the group's path from the hierarchy's root.
struct Membership {
  bool unified = false;
  std::string path;
};

// Where a hierarchy is mounted: the group at `root` (the namespace's view of it) appears at
// `mount_point`.
struct Mount {
  bool unified = false;
  std::string root;
  std::string mount_point;
};

// The lines of /proc/self/cgroup that matter here; other controllers are left out.
std::vector<Membership> memberships(std::string_view proc_self_cgroup);

// The cgroup2 mounts and the cgroup (v1) mounts carrying the memory controller, from
// /proc/self/mountinfo ("id parent dev root mount-point options [tags] - type source super").
std::vector<Mount> mounts(std::string_view mountinfo);

// The folders of the group and of its ancestors, innermost first, down to the mount point;
// nothing when the group lies outside what the mount shows.
std::vector<std::string> group_folders(const Membership& membership, const Mount& mount);

// A limit file's number; nothing for "max" (no limit) or anything else.
std::optional<std::uint64_t> parse_limit(std::string_view text);

// The value of `key` in a memory.stat text ("key value" lines).
std::optional<std::uint64_t> stat_value(std::string_view memory_stat, std::string_view key);

// What one group still lets its members take: limit - (usage - inactive file cache). The usage
// counted against the limit includes the page cache, and the kernel drops its inactive part
// before it refuses or kills, so that part counts as free. v2 reads memory.max,
// memory.current and inactive_file; v1 memory.limit_in_bytes, memory.usage_in_bytes and
// total_inactive_file. Nothing when the group has no limit or its files cannot be read.
std::optional<std::uint64_t> group_memory_left(const std::string& folder, bool unified,
                                               const ReadFile& read);

// The smallest of group_memory_left over the process's groups and all their ancestors, in
// every hierarchy; nothing when no group sets a limit.
std::optional<std::uint64_t> memory_left(const ReadFile& read);

}  // namespace velm::base::cgroup
