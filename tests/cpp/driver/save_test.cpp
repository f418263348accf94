// The results document is the whole model, results included, written over the previous one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/save.hpp"
#include "temporary_folder.hpp"

namespace velm::driver {
namespace {

TEST(SaveResults, WritesTheWholeDocumentAndLeavesNoTemporaryFile) {
  testing::TemporaryFolder folder;
  const std::filesystem::path target = folder.path / "analysis_results.json";
  { std::ofstream(target) << "previous"; }
  ASSERT_TRUE(save_results_to_json(model::VELM{}, target));
  std::ifstream in(target);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str().substr(0, 18), "{\n  \"member_sets\":");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(SaveResults, AFailureIsAWriteFailureWithTheSystemsText) {
  testing::TemporaryFolder folder;
  const auto saved = save_results_to_json(model::VELM{}, folder.path / "nope" / "a.json");
  ASSERT_FALSE(saved);
  EXPECT_EQ(base::message(saved.error()),
            "Failed to write results to JSON file: No such file or directory (os error 2)");
}

}  // namespace
}  // namespace velm::driver
