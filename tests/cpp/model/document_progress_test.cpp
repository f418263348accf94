// Reading a document with a monitor: the share of its bytes read rises through (0, 1) as the
// lists go by, the model read is the one a quiet read gives, and a stop ends the read as
// cancelled.
#include <gtest/gtest.h>

#include <vector>

#include "base/monitor.hpp"
#include "model/document.hpp"
#include "model_builder.hpp"

namespace velm::testing {
namespace {

// A document with 5000 load cases of one nodal load each: five polls at least.
std::string many_cases() {
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 3, 0, 0))}, {fixed_support(1)},
                        {load(1, 2, 10.0, {0, 0, -1})});
  for (std::uint32_t c = 2; c <= 5000; ++c) {
    model::LoadCase load_case;
    load_case.id = c;
    load_case.nodal_loads.push_back(load(1, 2, c, {1, 0, 0}));
    m.load_cases.push_back(load_case);
  }
  return model::write_model(m);
}

class ReadMonitor final : public base::Monitor {
 public:
  explicit ReadMonitor(int stop_at) : stop_at_(stop_at) {}
  void stage_progress(std::string_view stage, double fraction) override {
    EXPECT_EQ(stage, "read");
    fractions.push_back(fraction);
  }
  bool stop_requested() override { return ++polls == stop_at_; }
  int polls = 0;
  std::vector<double> fractions;

 private:
  int stop_at_;
};

TEST(DocumentReadProgress, RisesThroughTheTextAndReadsTheSameModel) {
  const std::string text = many_cases();
  ReadMonitor monitor(0);
  const auto watched = model::parse_model(text, monitor);
  const auto quiet = model::parse_model(text);
  ASSERT_TRUE(watched.has_value());
  ASSERT_TRUE(quiet.has_value());
  EXPECT_EQ(model::write_model(*watched), model::write_model(*quiet));
  ASSERT_GE(monitor.fractions.size(), 5u);
  EXPECT_GT(monitor.fractions.front(), 0.0);
  EXPECT_LT(monitor.fractions.back(), 1.0);
  for (std::size_t i = 1; i < monitor.fractions.size(); ++i)
    EXPECT_LT(monitor.fractions[i - 1], monitor.fractions[i]);
}

TEST(DocumentReadProgress, AStopEndsTheReadAsCancelled) {
  const std::string text = many_cases();
  for (const int stop_at : {1, 3}) {
    ReadMonitor monitor(stop_at);
    const auto read = model::parse_model(text, monitor);
    ASSERT_FALSE(read.has_value());
    EXPECT_EQ(read.error().code, base::ErrorCode::cancelled);
    EXPECT_EQ(monitor.polls, stop_at);
  }
  // A document with a syntax error still fails as not well formed.
  ReadMonitor monitor(0);
  const auto broken = model::parse_model(text.substr(0, text.size() / 2), monitor);
  ASSERT_FALSE(broken.has_value());
  EXPECT_EQ(broken.error().code, base::ErrorCode::not_well_formed);
}

}  // namespace
}  // namespace velm::testing
