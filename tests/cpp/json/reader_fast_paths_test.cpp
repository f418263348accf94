// The reader's shortcuts against the long way round: short decimals converted by one exact
// product or quotient must equal std::from_chars bit for bit; integers read without formatting
// must keep every limit of their type; keys compared in place must match, skip and collide
// exactly as decoded keys do.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "json/parse_helpers.hpp"
#include "json/read_value.hpp"
#include "model/document.hpp"

namespace velm::json {
namespace {

std::uint64_t bits_of(const std::string& literal) {
  double value = 0.0;
  std::from_chars(literal.data(), literal.data() + literal.size(), value);
  return std::bit_cast<std::uint64_t>(value);
}

// The literal read as a whole document of one f64, as bits; or the error message.
std::expected<std::uint64_t, std::string> read_bits(const std::string& literal) {
  auto value = read_document<double>(literal);
  if (!value) return std::unexpected(value.error().message);
  return std::bit_cast<std::uint64_t>(*value);
}

TEST(ReaderFastPaths, DecimalsMatchTheCorrectlyRoundedConversion) {
  std::vector<std::string> literals = {"0",
                                       "-0",
                                       "0.0",
                                       "-0.0",
                                       "6.0",
                                       "117.0435",
                                       "3.5",
                                       "-2.25e-3",
                                       "1e22",
                                       "1e23",
                                       "1e-22",
                                       "1e-23",
                                       "9007199254740992",
                                       "9007199254740993",
                                       "9007199254740993.0",
                                       "0.1",
                                       "0.3",
                                       "1234567890123456789",
                                       "12345678901234567890",
                                       "9999999999999999999e-22",
                                       "4.9406564584124654e-324",
                                       "1.7976931348623157e308",
                                       "123456789012345678e-5",
                                       "0.00000000000000000001",
                                       "5e-324",
                                       "2e0",
                                       "1E+2",
                                       "7e-0"};
  std::mt19937_64 random(20);
  for (int i = 0; i < 4000; ++i) {
    // Mantissas of 1 to 21 digits, a point anywhere and exponents around the exact range.
    const int digits = 1 + static_cast<int>(random() % 21);
    const int point = static_cast<int>(random() % static_cast<unsigned>(digits));
    std::string mantissa(1, static_cast<char>('1' + random() % 9));
    for (int d = 1; d < digits; ++d) {
      if (d == point) mantissa.push_back('.');
      mantissa.push_back(static_cast<char>('0' + random() % 10));
    }
    std::string literal;
    if (random() % 2) literal.push_back('-');
    literal += mantissa;
    if (random() % 2) literal += fmt::format("e{}", static_cast<int>(random() % 61) - 30);
    literals.push_back(literal);
  }
  for (const std::string& literal : literals) {
    const auto bits = read_bits(literal);
    ASSERT_TRUE(bits.has_value()) << literal << ": " << bits.error();
    EXPECT_EQ(*bits, bits_of(literal)) << literal;
  }
  EXPECT_TRUE(std::signbit(std::bit_cast<double>(*read_bits("-0"))));
  EXPECT_TRUE(std::signbit(std::bit_cast<double>(*read_bits("-0.000e5"))));
}

TEST(ReaderFastPaths, IntegersKeepTheLimitsOfTheirType) {
  EXPECT_EQ(read_document<std::uint32_t>("4294967295").value_or(0), 4294967295u);
  EXPECT_EQ(read_document<std::uint32_t>("4294967296").error().message,
            "invalid value: integer `4294967296`, expected u32");
  EXPECT_EQ(read_document<std::uint32_t>("-1").error().message,
            "invalid value: integer `-1`, expected u32");
  EXPECT_EQ(read_document<std::uint32_t>("-0").error().message,
            "invalid type: floating point `-0.0`, expected u32");
  EXPECT_EQ(read_document<std::uint64_t>("9999999999999999999").value_or(0), 9999999999999999999u);
  EXPECT_EQ(read_document<std::uint64_t>("18446744073709551615").value_or(0),
            18446744073709551615u);
  EXPECT_EQ(read_document<std::uint64_t>("18446744073709551616").error().message,
            "invalid value: integer `18446744073709551616`, expected u64");
  EXPECT_EQ(read_document<std::uint64_t>("000").error().message, "invalid number");
  EXPECT_EQ(read_document<std::uint32_t>("1.0").error().message,
            "invalid type: floating point `1.0`, expected u32");
}

TEST(ReaderFastPaths, StringsStopAtEveryKindOfByteWhereverItLies) {
  // The plain runs are found eight bytes at a time: put each byte that ends one at every offset.
  for (std::size_t k = 0; k < 20; ++k) {
    const std::string head(k, 'a');
    EXPECT_EQ(read_document<std::string>("\"" + head + "\"").value_or("?"), head);
    EXPECT_EQ(read_document<std::string>("\"" + head + "\\n" + head + "\"").value_or("?"),
              head + "\n" + head);
    EXPECT_EQ(read_document<std::string>("\"" + head + "\xC3\xA9~\"").value_or("?"),
              head + "\xC3\xA9~");
    const auto control = read_document<std::string>("\"" + head + "\x1F" + head + "\"");
    ASSERT_FALSE(control.has_value()) << k;
    EXPECT_EQ(control.error().message,
              "control character (\\u0000-\\u001F) found while parsing a string");
    EXPECT_EQ(control.error().index, k + 2);  // just after the control byte
    const auto bad = read_document<std::string>("\"" + head + "\xFF\"");
    ASSERT_FALSE(bad.has_value()) << k;
    EXPECT_EQ(bad.error().message, "invalid unicode code point");
    EXPECT_EQ(bad.error().index, k + 2);
    const auto open = read_document<std::string>("\"" + head);
    ASSERT_FALSE(open.has_value()) << k;
    EXPECT_EQ(open.error().message, "EOF while parsing a string");
    EXPECT_EQ(open.error().index, k + 1);
    // The same for a key, which is viewed in place when plain: one letter of it escaped.
    std::string name = "classification";
    const std::size_t j = k % name.size();
    name.replace(j, 1, fmt::format("\\u{:04x}", static_cast<int>(name[j])));
    const auto duplicate = testing::parse_error(testing::with_member_sets(
        "[{" + std::string(k, ' ') + "\"classification\":\"a\",\"" + name + "\":\"b\"}]"));
    EXPECT_EQ(duplicate.substr(0, 32), "duplicate field `classification`") << name;
  }
}

// One member set whose member carries `fields` (id first) and nothing else.
std::string one_member_set(const std::string& member_fields) {
  return testing::with_member_sets(R"([{"id":1,"l_y":null,"l_z":null,"members":[{)" +
                                   member_fields + "}]}]");
}

TEST(ReaderFastPaths, KeysMatchInAnyOrderAndSpelling) {
  const std::string node = R"({"id":1,"X":0,"Y":0,"Z":0})";
  const std::string in_order = R"("id":7,"start_node":)" + node + R"(,"end_node":)" + node +
                               R"(,"section":1,"rotation_angle":0,"classification":"C",)"
                               R"("weight":2,"member_type":"Truss")";
  const std::string shuffled = R"("member_type":"Truss","weight":2,"end_node":)" + node +
                               R"(,"classification":"C","id":7,"rotation_angle":0,)"
                               R"("section":1,"start_node":)" +
                               node;
  const std::string escaped = R"("\u0069d":7,"start_\u006eode":)" + node + R"(,"end_node":)" +
                              node +
                              R"(,"sect\u0069on":1,"rotation_angle":0,)"
                              R"("classification":"C","weight":2,"member_t\u0079pe":"Truss")";
  const auto expected = model::parse_model(one_member_set(in_order));
  ASSERT_TRUE(expected.has_value()) << expected.error().detail;
  EXPECT_EQ(expected->member_sets[0].members[0].id, 7u);
  EXPECT_EQ(expected->member_sets[0].members[0].member_type, model::MemberType::Truss);
  for (const std::string& fields : {shuffled, escaped}) {
    const auto model = model::parse_model(one_member_set(fields));
    ASSERT_TRUE(model.has_value()) << model.error().detail;
    EXPECT_EQ(*model, *expected) << fields;
  }
  // A repeat is a duplicate however it is spelled, also right after the field it repeats.
  EXPECT_EQ(testing::parse_error(one_member_set(R"("id":7,"\u0069d":8)")).substr(0, 20),
            "duplicate field `id`");
  EXPECT_EQ(testing::parse_error(one_member_set(in_order + R"(,"weight":3)")).substr(0, 24),
            "duplicate field `weight`");
}

TEST(ReaderFastPaths, SkippedKeysAreNotedDecoded) {
  const std::string text =
      one_member_set(R"("id":7,"n\u00f6te":{"a\"b":[1,"x\\y",{"c":null}]},"plain":2)");
  std::vector<SkippedKey> skipped;
  base::Monitor quiet;
  const auto model = read_document<model::VELM>(text, quiet, skipped);
  ASSERT_FALSE(model.has_value());  // the member lacks its required fields
  ASSERT_EQ(skipped.size(), 2u);
  EXPECT_EQ(skipped[0].key, "n\xC3\xB6te");
  EXPECT_EQ(skipped[0].record, "Member");
  EXPECT_EQ(text[skipped[0].index - 1], '"');
  EXPECT_EQ(text.substr(skipped[0].index, 4), "n\\u0");
  EXPECT_EQ(skipped[1].key, "plain");
  EXPECT_EQ(text.substr(skipped[1].index, 6), "plain\"");
}

}  // namespace
}  // namespace velm::json
