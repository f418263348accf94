// The memory budget finds the process's control groups in v1 and v2 layouts, walks up to the
// root of each hierarchy, and lets the smallest limit less usage win.
#include <gtest/gtest.h>

#include <map>

#include "base/cgroup_memory.hpp"
#include "base/memory_budget.hpp"

namespace velm::base::cgroup {
namespace {

// A file system of a few files; anything else cannot be read.
struct FakeFiles {
  std::map<std::string, std::string> files;
  ReadFile reader() const {
    return [this](const std::string& path) -> std::optional<std::string> {
      const auto found = files.find(path);
      if (found == files.end()) return std::nullopt;
      return found->second;
    };
  }
};

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

const char* const kHybridGroups =
    "9:name=systemd:/\n"
    "4:memory:/jobs/worker\n"
    "3:cpu,cpuacct:/\n"
    "0::/\n";
const char* const kHybridMounts =
    "31 23 0:28 / /sys/fs/cgroup rw,relatime - tmpfs tmpfs rw,mode=755\n"
    "32 31 0:29 / /sys/fs/cgroup/cpu,cpuacct rw,relatime - cgroup cgroup rw,cpu,cpuacct\n"
    "35 31 0:32 / /sys/fs/cgroup/memory rw,relatime master:7 - cgroup cgroup rw,memory\n"
    "41 31 0:38 / /sys/fs/cgroup/unified rw,relatime - cgroup2 cgroup2 rw\n";

TEST(CgroupFiles, TheMembershipsOfBothHierarchiesAreFound) {
  const std::vector<Membership> found = memberships(kHybridGroups);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_FALSE(found[0].unified);
  EXPECT_EQ(found[0].path, "/jobs/worker");
  EXPECT_TRUE(found[1].unified);
  EXPECT_EQ(found[1].path, "/");
  // "memory" only as a whole controller name, not inside another.
  EXPECT_TRUE(memberships("5:memoryless:/x\n").empty());
}

TEST(CgroupFiles, OnlyCgroupMountsOfTheMemoryControllerCount) {
  const std::vector<Mount> found = mounts(kHybridMounts);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_FALSE(found[0].unified);
  EXPECT_EQ(found[0].mount_point, "/sys/fs/cgroup/memory");
  EXPECT_TRUE(found[1].unified);
  EXPECT_EQ(found[1].mount_point, "/sys/fs/cgroup/unified");
  // A space in a mount point is written \040.
  const std::vector<Mount> spaced =
      mounts("50 1 0:40 /ns /mnt/cg\\040two rw - cgroup2 none rw,nsdelegate\n");
  ASSERT_EQ(spaced.size(), 1u);
  EXPECT_EQ(spaced[0].root, "/ns");
  EXPECT_EQ(spaced[0].mount_point, "/mnt/cg two");
}

TEST(CgroupFiles, TheFoldersRunFromTheGroupUpToTheMountPoint) {
  const Mount whole{true, "/", "/sys/fs/cgroup"};
  EXPECT_EQ(group_folders({true, "/a/b"}, whole),
            (std::vector<std::string>{"/sys/fs/cgroup/a/b", "/sys/fs/cgroup/a", "/sys/fs/cgroup"}));
  EXPECT_EQ(group_folders({true, "/"}, whole), (std::vector<std::string>{"/sys/fs/cgroup"}));
  // A mount that shows the hierarchy from /a down (a container's view without a namespace).
  const Mount part{true, "/a", "/sys/fs/cgroup"};
  EXPECT_EQ(group_folders({true, "/a/b"}, part),
            (std::vector<std::string>{"/sys/fs/cgroup/b", "/sys/fs/cgroup"}));
  EXPECT_TRUE(group_folders({true, "/ab"}, part).empty());
  EXPECT_TRUE(group_folders({true, "/elsewhere"}, part).empty());
}

TEST(CgroupFiles, LimitsAreNumbersOrNothing) {
  EXPECT_EQ(parse_limit("1073741824\n"), kGiB);
  EXPECT_EQ(parse_limit("max\n"), std::nullopt);
  EXPECT_EQ(parse_limit(""), std::nullopt);
  EXPECT_EQ(parse_limit("12abc"), std::nullopt);
  EXPECT_EQ(stat_value("active_file 5\ninactive_file 7\n", "inactive_file"), 7u);
  EXPECT_EQ(stat_value("total_inactive_file 9\n", "inactive_file"), std::nullopt);
}

TEST(CgroupMemory, AV1LimitOfTheProcessGroupIsSeen) {
  FakeFiles fs;
  fs.files = {{"/proc/self/cgroup", kHybridGroups},
              {"/proc/self/mountinfo", kHybridMounts},
              {"/sys/fs/cgroup/memory/jobs/worker/memory.limit_in_bytes", "4294967296\n"},
              {"/sys/fs/cgroup/memory/jobs/worker/memory.usage_in_bytes", "1073741824\n"},
              // Of the usage, 256 MiB are inactive file cache, which the kernel drops first.
              {"/sys/fs/cgroup/memory/jobs/worker/memory.stat",
               "inactive_file 1\ntotal_inactive_file 268435456\n"},
              {"/sys/fs/cgroup/memory/jobs/memory.limit_in_bytes", "9223372036854771712\n"},
              {"/sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n"},
              // The v2 root has no limit file.
              {"/sys/fs/cgroup/unified/memory.current", "5\n"}};
  EXPECT_EQ(memory_left(fs.reader()), 4 * kGiB - (kGiB - kGiB / 4));
}

TEST(CgroupMemory, TheSmallestLimitUpANestedV2HierarchyWins) {
  FakeFiles fs;
  fs.files = {
      {"/proc/self/cgroup", "0::/user.slice/session/app\n"},
      {"/proc/self/mountinfo", "25 1 0:22 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw,nsdelegate\n"},
      {"/sys/fs/cgroup/user.slice/session/app/memory.max", "max\n"},
      {"/sys/fs/cgroup/user.slice/session/memory.max", "3221225472\n"},
      {"/sys/fs/cgroup/user.slice/session/memory.current", "2147483648\n"},
      {"/sys/fs/cgroup/user.slice/memory.max", "2147483648\n"},
      {"/sys/fs/cgroup/user.slice/memory.current", "1610612736\n"}};
  // The session allows 3 GiB and uses 2; the slice allows 2 GiB and uses 1.5: 0.5 GiB is left.
  EXPECT_EQ(memory_left(fs.reader()), kGiB / 2);
  // Usage beyond the limit leaves nothing rather than wrapping round.
  fs.files["/sys/fs/cgroup/user.slice/memory.current"] = "3000000000\n";
  EXPECT_EQ(memory_left(fs.reader()), 0u);
}

TEST(CgroupMemory, NoLimitAnywhereOrNoFilesGiveNothing) {
  FakeFiles fs;
  EXPECT_EQ(memory_left(fs.reader()), std::nullopt);
  fs.files = {{"/proc/self/cgroup", "0::/a\n"},
              {"/sys/fs/cgroup/a/memory.max", "max\n"},
              {"/sys/fs/cgroup/memory.max", "max\n"}};
  EXPECT_EQ(memory_left(fs.reader()), std::nullopt);
  // Without a mount table, the usual mount point is read.
  fs.files["/sys/fs/cgroup/memory.max"] = "1000\n";
  EXPECT_EQ(memory_left(fs.reader()), 1000u);
}

TEST(MemoryBudget, TheMarginIsAFixedAmountAndATenth) {
  EXPECT_EQ(with_margin(std::nullopt), std::nullopt);
  EXPECT_EQ(with_margin(kFixedMargin), 0u);
  EXPECT_EQ(with_margin(100), 0u);
  EXPECT_EQ(with_margin(kFixedMargin + 10 * kGiB), 9 * kGiB);
}

}  // namespace
}  // namespace velm::base::cgroup
