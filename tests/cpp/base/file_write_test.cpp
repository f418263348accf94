// A file is replaced atomically, keeping what the replaced file had; devices and FIFOs are
// written as a plain write would.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/file_write.hpp"

namespace velm::base {
namespace {

namespace fs = std::filesystem;

Expected<void> replace_file(const fs::path& path, std::string_view data) {
  return base::replace_file(path.native(), data);
}

class ReplaceFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("velm_save_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  static std::string read(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::size_t entries() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }
  fs::path dir_;
};

TEST_F(ReplaceFile, WritesTheWholeTextAndLeavesNoTemporaryFile) {
  ASSERT_TRUE(replace_file(dir_ / "analysis_results.json", "{\n  \"member_sets\": []\n}"));
  EXPECT_EQ(read(dir_ / "analysis_results.json"), "{\n  \"member_sets\": []\n}");
  EXPECT_EQ(entries(), 1u);
}

TEST_F(ReplaceFile, PermissionsOfAPlainCreate) {
  const mode_t previous = ::umask(022);
  ASSERT_TRUE(replace_file(dir_ / "a.json", "x"));
  ::umask(previous);
  struct stat info {};
  ASSERT_EQ(::stat((dir_ / "a.json").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(ReplaceFile, FollowsASymbolicLink) {
  fs::create_directories(dir_ / "real");
  { std::ofstream(dir_ / "real" / "target.json") << "old"; }
  fs::create_symlink("real/target.json", dir_ / "analysis_results.json");
  ASSERT_TRUE(replace_file(dir_ / "analysis_results.json", "new"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "analysis_results.json"));
  EXPECT_EQ(read(dir_ / "real" / "target.json"), "new");
}

TEST_F(ReplaceFile, AFailureKeepsThePreviousFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores directory permissions";
  { std::ofstream(dir_ / "analysis_results.json") << "previous"; }
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  auto saved = replace_file(dir_ / "analysis_results.json", "new");
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().detail, "Permission denied (os error 13)");
  EXPECT_EQ(read(dir_ / "analysis_results.json"), "previous");
}

TEST_F(ReplaceFile, TargetIsADirectory) {
  fs::create_directories(dir_ / "analysis_results.json");
  auto saved = replace_file(dir_ / "analysis_results.json", "new");
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().code, ErrorCode::write_failed);
  EXPECT_EQ(saved.error().detail, "Is a directory (os error 21)");
  EXPECT_EQ(entries(), 1u) << "the temporary file is removed";
}

TEST_F(ReplaceFile, MissingFolder) {
  auto saved = replace_file(dir_ / "nope" / "analysis_results.json", "new");
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().detail, "No such file or directory (os error 2)");
}

TEST_F(ReplaceFile, AReadOnlyFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write to a read-only file";
  { std::ofstream(dir_ / "analysis_results.json") << "previous"; }
  fs::permissions(dir_ / "analysis_results.json",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  auto saved = replace_file(dir_ / "analysis_results.json", "new");
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().detail, "Permission denied (os error 13)");
  EXPECT_EQ(read(dir_ / "analysis_results.json"), "previous");
  EXPECT_EQ(entries(), 1u);
}

mode_t mode_of(const fs::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return 0;
  return info.st_mode & 07777;
}

TEST_F(ReplaceFile, TheReplacementKeepsThePermissionsOfThePreviousFile) {
  const mode_t previous_umask = ::umask(022);
  { std::ofstream(dir_ / "analysis_results.json") << "previous"; }
  ::chmod((dir_ / "analysis_results.json").c_str(), 0600);
  fs::create_directories(dir_ / "real");
  { std::ofstream(dir_ / "real" / "target.json") << "previous"; }
  ::chmod((dir_ / "real" / "target.json").c_str(), 0640);
  fs::create_symlink("real/target.json", dir_ / "link.json");
  const auto plain = replace_file(dir_ / "analysis_results.json", "new");
  const auto linked = replace_file(dir_ / "link.json", "new");
  ::umask(previous_umask);
  ASSERT_TRUE(plain) << plain.error().detail;
  ASSERT_TRUE(linked) << linked.error().detail;
  EXPECT_EQ(read(dir_ / "analysis_results.json"), "new");
  EXPECT_EQ(mode_of(dir_ / "analysis_results.json"), 0600u);
  EXPECT_EQ(read(dir_ / "real" / "target.json"), "new");
  EXPECT_EQ(mode_of(dir_ / "real" / "target.json"), 0640u);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.json"));
}

TEST_F(ReplaceFile, TheReplacementKeepsTheOwnerAndGroupWhereTheProcessMaySetThem) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
  const fs::path target = dir_ / "analysis_results.json";
  { std::ofstream(target) << "previous"; }
  ASSERT_EQ(::chown(target.c_str(), 4321, 8765), 0);
  ASSERT_TRUE(replace_file(target, "new"));
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4321u);
  EXPECT_EQ(info.st_gid, 8765u);
}

TEST_F(ReplaceFile, AWriteKilledHalfwayLeavesThePreviousFileAndNothingElse) {
  const fs::path target = dir_ / "analysis_results.json";
  { std::ofstream(target) << "previous"; }
  const std::string contents(1 << 20, 'x');
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The file size limit kills the writer with SIGXFSZ after its first 4 KiB.
    const rlimit no_core{0, 0}, small{4096, 4096};
    ::setrlimit(RLIMIT_CORE, &no_core);
    ::setrlimit(RLIMIT_FSIZE, &small);
    (void)replace_file(target, contents);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer was expected to be killed";
  EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
  EXPECT_EQ(read(target), "previous");
  EXPECT_EQ(entries(), 1u) << "a partial temporary file was left behind";
}

TEST_F(ReplaceFile, ADeviceNodeIsWrittenInPlace) {
  fs::create_symlink("/dev/null", dir_ / "analysis_results.json");
  ASSERT_TRUE(replace_file(dir_ / "analysis_results.json", "new"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(entries(), 1u) << "no temporary file beside the link";
}

TEST_F(ReplaceFile, AFifoIsWrittenInPlaceForItsReader) {
  const fs::path fifo = dir_ / "analysis_results.json";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(replace_file(fifo, "new"));
  char got[8] = {};
  EXPECT_EQ(::read(reader, got, sizeof got), 3);
  ::close(reader);
  EXPECT_EQ(std::string(got), "new");
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(ReplaceFile, APathWithANulCharacterIsRefused) {
  const std::string path = (dir_ / "a").native() + std::string(1, '\0') + "b";
  auto saved = base::replace_file(path, "new");
  ASSERT_FALSE(saved);
  EXPECT_EQ(message(saved.error()),
            "Failed to write results to JSON file: the path contains a NUL character, which no "
            "file name can hold");
  EXPECT_EQ(entries(), 0u);
}

TEST(WriteAll, WritesEverythingOrNamesTheFailure) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  EXPECT_EQ(write_all(ends[1], "abc"), 0);
  char got[4] = {};
  EXPECT_EQ(::read(ends[0], got, 3), 3);
  EXPECT_EQ(std::string(got), "abc");
  ::close(ends[0]);
  ::close(ends[1]);
  EXPECT_EQ(write_all(ends[1], "abc"), EBADF);
  EXPECT_EQ(write_all(ends[1], ""), 0) << "nothing to write is no failure";
}

}  // namespace
}  // namespace velm::base
