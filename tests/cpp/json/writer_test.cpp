// The written layout and number forms.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "json/parse_helpers.hpp"
#include "json/writer.hpp"

namespace velm::testing {
namespace {

std::string number(double value) {
  json::Writer writer;
  writer.number(value);
  return writer.take();
}

TEST(WriterNumbers, ShortestRoundTripForms) {
  EXPECT_EQ(number(1.0), "1.0");
  EXPECT_EQ(number(0.0), "0.0");
  EXPECT_EQ(number(-0.0), "-0.0");
  EXPECT_EQ(number(0.1), "0.1");
  EXPECT_EQ(number(-2.5), "-2.5");
  EXPECT_EQ(number(1e20), "1e20");
  EXPECT_EQ(number(1e-7), "1e-7");
  EXPECT_EQ(number(1.5e-7), "1.5e-7");
  EXPECT_EQ(number(123456.0), "123456.0");
  EXPECT_EQ(number(1e15), "1000000000000000.0");
  EXPECT_EQ(number(1e16), "1e16");
  EXPECT_EQ(number(0.0001), "0.0001");
  EXPECT_EQ(number(std::nan("")), "null");
  EXPECT_EQ(number(std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(number(-std::numeric_limits<double>::infinity()), "null");
}

TEST(WriterStrings, StandardEscaping) {
  json::Writer writer;
  writer.string("q\" b\\ \b\f\n\r\t \x01\x1f \x7f \xC3\xA9 /");
  EXPECT_EQ(writer.take(), "\"q\\\" b\\\\ \\b\\f\\n\\r\\t \\u0001\\u001f \x7f \xC3\xA9 /\"");
}

TEST(WriterLayout, PrettyTwoSpaceIndentation) {
  json::Writer writer;
  writer.begin_object();
  writer.key("a");
  writer.begin_array();
  writer.element();
  writer.unsigned_integer(1);
  writer.element();
  writer.begin_object();
  writer.end_object();
  writer.end_array();
  writer.key("b");
  writer.begin_array();
  writer.end_array();
  writer.key("c");
  writer.null();
  writer.end_object();
  EXPECT_EQ(writer.take(), "{\n  \"a\": [\n    1,\n    {}\n  ],\n  \"b\": [],\n  \"c\": null\n}");
}

TEST(WriterLayout, EmptyModelDocument) {
  auto model = model::parse_model(kEmptyModel);
  ASSERT_TRUE(model);
  EXPECT_EQ(model::write_model(*model),
            "{\n"
            "  \"member_sets\": [],\n"
            "  \"load_cases\": [],\n"
            "  \"load_combinations\": [],\n"
            "  \"imperfection_cases\": [],\n"
            "  \"results\": null,\n"
            "  \"memberhinges\": null,\n"
            "  \"materials\": [],\n"
            "  \"sections\": [],\n"
            "  \"nodal_supports\": [],\n"
            "  \"shape_paths\": null\n"
            "}");
}

TEST(WriterLayout, RecordsWithEveryFieldAndMapsInDocumentOrder) {
  auto model = model::parse_model(
      with_supports(R"([{"id":4,"displacement_conditions":{"Z":"Fixed","X":"Free","Z":"Fixed2"},)"
                    R"("rotation_conditions":{}}])"));
  ASSERT_TRUE(model) << model.error().detail;
  const std::string text = model::write_model(*model);
  EXPECT_NE(text.find("  \"nodal_supports\": [\n"
                      "    {\n"
                      "      \"id\": 4,\n"
                      "      \"classification\": null,\n"
                      "      \"displacement_conditions\": {\n"
                      "        \"Z\": \"Fixed2\",\n"
                      "        \"X\": \"Free\"\n"
                      "      },\n"
                      "      \"rotation_conditions\": {}\n"
                      "    }\n"
                      "  ],\n"),
            std::string::npos)
      << text;
  EXPECT_FALSE(text.ends_with("\n"));
}

}  // namespace
}  // namespace velm::testing
