// Reading a document never takes more memory than it was given.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <fstream>

#include "driver/text_file.hpp"
#include "temporary_folder.hpp"

namespace velm::driver {
namespace {

TEST(ReadTextFile, AnEndlessDeviceIsRefusedOnceItOutgrowsTheMemory) {
  const auto text = read_text_file("/dev/zero", {}, 1000000);
  ASSERT_FALSE(text.has_value());
  // 512 KiB is held when growing to 1 MiB would hold 1.5 MiB at once.
  EXPECT_EQ(text.error().detail,
            "the document had grown to 0.0 GB (589824 bytes) and was not finished; holding more "
            "would take more than the 0.0 GB (1000000 bytes) of memory available");
}

TEST(ReadTextFile, ARegularFileIsMeasuredBeforeItIsRead) {
  testing::TemporaryFolder folder;
  const std::filesystem::path path = folder.path / "model.json";
  { std::ofstream(path) << std::string(2500, ' '); }
  const auto refused = read_text_file(path.string(), {}, 2499);
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error().detail,
            "the file holds 0.0 GB (2500 bytes), more than the 0.0 GB (2499 bytes) of memory "
            "available");
  const auto read = read_text_file(path.string(), {}, 2500);
  ASSERT_TRUE(read.has_value()) << read.error().detail;
  EXPECT_EQ(read->size(), 2500u);
}

TEST(ReadTextFile, ALongReadAsksWhetherToGoOn) {
  int asked = 0;
  const auto text = read_text_file(
      "/dev/zero", [&] { return ++asked == 3; }, std::nullopt);
  ASSERT_FALSE(text.has_value());
  EXPECT_EQ(text.error().code, base::ErrorCode::cancelled);
  EXPECT_EQ(base::message(text.error()), "The analysis was cancelled.");
  EXPECT_EQ(asked, 3);
}

TEST(ReadTextFile, AMissingFileIsAReadFailureWithTheSystemsText) {
  testing::TemporaryFolder folder;
  const auto text = read_text_file((folder.path / "none.json").string());
  ASSERT_FALSE(text.has_value());
  EXPECT_EQ(base::message(text.error()),
            "Failed to read JSON file: No such file or directory (os error 2)");
}

// No signal reaches a thread that waits for a FIFO's writer; the stop check must still end the
// wait (as on the thread that runs an engineering analysis).
TEST(ReadTextFile, AWaitForAFifosWriterAsksWhetherToGoOn) {
  testing::TemporaryFolder folder;
  const std::string path = (folder.path / "pipe.json").string();
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  int asked = 0;
  const auto text = read_text_file(
      path, [&] { return ++asked == 3; }, std::nullopt);
  ASSERT_FALSE(text.has_value());
  EXPECT_EQ(text.error().code, base::ErrorCode::cancelled);
  EXPECT_EQ(asked, 3);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace velm::driver
