// The results document replaces the previous one atomically.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "analysis/save.hpp"

namespace velm::analysis {
namespace {

namespace fs = std::filesystem;

class SaveResults : public ::testing::Test {
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

TEST_F(SaveResults, WritesTheWholeDocumentAndLeavesNoTemporaryFile) {
  ASSERT_TRUE(save_results_to_json(model::VELM{}, dir_ / "analysis_results.json"));
  EXPECT_EQ(read(dir_ / "analysis_results.json").substr(0, 18), "{\n  \"member_sets\":");
  EXPECT_EQ(entries(), 1u);
}

TEST_F(SaveResults, PermissionsOfAPlainCreate) {
  const mode_t previous = ::umask(022);
  ASSERT_TRUE(replace_file(dir_ / "a.json", "x"));
  ::umask(previous);
  struct stat info {};
  ASSERT_EQ(::stat((dir_ / "a.json").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(SaveResults, FollowsASymbolicLink) {
  fs::create_directories(dir_ / "real");
  { std::ofstream(dir_ / "real" / "target.json") << "old"; }
  fs::create_symlink("real/target.json", dir_ / "analysis_results.json");
  ASSERT_TRUE(replace_file(dir_ / "analysis_results.json", "new"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "analysis_results.json"));
  EXPECT_EQ(read(dir_ / "real" / "target.json"), "new");
}

TEST_F(SaveResults, AFailureKeepsThePreviousFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores directory permissions";
  { std::ofstream(dir_ / "analysis_results.json") << "previous"; }
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  auto saved = replace_file(dir_ / "analysis_results.json", "new");
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error(), "Permission denied (os error 13)");
  EXPECT_EQ(read(dir_ / "analysis_results.json"), "previous");
}

TEST_F(SaveResults, TargetIsADirectory) {
  fs::create_directories(dir_ / "analysis_results.json");
  auto saved = replace_file(dir_ / "analysis_results.json", "new");
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error(), "Is a directory (os error 21)");
  EXPECT_EQ(entries(), 1u) << "the temporary file is removed";
}

TEST_F(SaveResults, MissingFolder) {
  auto saved = replace_file(dir_ / "nope" / "analysis_results.json", "new");
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error(), "No such file or directory (os error 2)");
}

}  // namespace
}  // namespace velm::analysis
