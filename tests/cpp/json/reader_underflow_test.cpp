// Numbers below the smallest double read as the nearest double; only numbers above the largest
// are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "json/parse_helpers.hpp"

namespace velm::json {
namespace {

// The material's e_mod as read from `literal`, or the parse error.
std::expected<double, std::string> e_mod(const std::string& literal) {
  const std::string document = std::string(R"({"member_sets":[],"load_cases":[],)") +
                               R"("load_combinations":[],"imperfection_cases":[],"materials":[)" +
                               R"({"id":1,"name":"S","e_mod":)" + literal +
                               R"(,"g_mod":1,"density":1,"yield_stress":1}],)" +
                               R"("sections":[],"nodal_supports":[]})";
  auto model = model::parse_model(document);
  if (!model) return std::unexpected(model.error().detail);
  return model->materials.at(0).e_mod;
}

TEST(ReaderUnderflow, ALongFractionBelowTheSubnormalsReadsAsZero) {
  const std::string zeros(330, '0');
  const auto value = e_mod("0." + zeros + "1");
  ASSERT_TRUE(value.has_value()) << value.error();
  EXPECT_EQ(*value, 0.0);
  EXPECT_FALSE(std::signbit(*value));
  const auto negative = e_mod("-0." + zeros + "1");
  ASSERT_TRUE(negative.has_value()) << negative.error();
  EXPECT_TRUE(std::signbit(*negative));
}

TEST(ReaderUnderflow, ExponentsThatUnderflowReadAsZero) {
  for (const char* literal : {"1e-400", "0.01e-323", "12345e-330", "1e-99999999999999999999999",
                              "2.4703282292062327e-324"}) {
    const auto value = e_mod(literal);
    ASSERT_TRUE(value.has_value()) << literal << ": " << value.error();
    EXPECT_EQ(*value, 0.0) << literal;
  }
  // An exponent that brings long leading digits back into range is no underflow at all.
  EXPECT_EQ(e_mod("1" + std::string(400, '0') + "e-400").value_or(-1), 1.0);
}

TEST(ReaderUnderflow, SubnormalsReadAsTheNearestDouble) {
  const double smallest = std::numeric_limits<double>::denorm_min();
  EXPECT_EQ(e_mod("0." + std::string(323, '0') + "5").value_or(-1), smallest);
  EXPECT_EQ(e_mod("2.4703282292062328e-324").value_or(-1), smallest);
  EXPECT_EQ(e_mod("1e-310").value_or(-1), 1e-310);
}

TEST(ReaderUnderflow, OnlyOverflowIsOutOfRange) {
  EXPECT_EQ(e_mod("1e400").error().substr(0, 19), "number out of range");
  EXPECT_EQ(e_mod("1" + std::string(400, '0')).error().substr(0, 19), "number out of range");
  EXPECT_EQ(e_mod("0.000001e315").error().substr(0, 19), "number out of range");
  EXPECT_EQ(e_mod("-1.8e308").error().substr(0, 19), "number out of range");
  EXPECT_EQ(e_mod("1.7976931348623157e308").value_or(-1), std::numeric_limits<double>::max());
}

}  // namespace
}  // namespace velm::json
