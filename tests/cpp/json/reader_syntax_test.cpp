// Syntax errors and their locations.
#include <gtest/gtest.h>

#include "json/parse_helpers.hpp"

namespace velm::testing {
namespace {

TEST(ReaderSyntax, EndOfInput) {
  EXPECT_EQ(parse_error(""), "EOF while parsing a value at line 1 column 0");
  EXPECT_EQ(parse_error("   \n  "), "EOF while parsing a value at line 2 column 2");
  EXPECT_EQ(parse_error("{"), "EOF while parsing an object at line 1 column 1");
  EXPECT_EQ(parse_error(R"({"member_sets":[)"), "EOF while parsing a list at line 1 column 16");
  EXPECT_EQ(parse_error(R"({"member_sets":)"), "EOF while parsing a value at line 1 column 15");
  EXPECT_EQ(parse_error(R"({"member_sets)"), "EOF while parsing a string at line 1 column 13");
}

TEST(ReaderSyntax, Punctuation) {
  EXPECT_EQ(parse_error(R"({"member_sets" [])"), "expected `:` at line 1 column 16");
  EXPECT_EQ(parse_error(R"({"member_sets":[] "x":1})"), "expected `,` or `}` at line 1 column 19");
  EXPECT_EQ(parse_error(R"({"x":[1 2]})"), "expected `,` or `]` at line 1 column 9");
  EXPECT_EQ(parse_error(R"({"x":[1,]})"), "trailing comma at line 1 column 9");
  EXPECT_EQ(parse_error(R"({"x":1,})"), "trailing comma at line 1 column 8");
  EXPECT_EQ(parse_error(R"({member_sets:[]})"), "key must be a string at line 1 column 2");
  EXPECT_EQ(parse_error(R"({"x":})"), "expected value at line 1 column 6");
  EXPECT_EQ(parse_error(R"({"x":tru})"), "expected ident at line 1 column 9");
}

TEST(ReaderSyntax, TrailingCharacters) {
  const std::string doc(kEmptyModel);
  EXPECT_EQ(parse_error(doc + " \n\t\r"), "parsed");
  EXPECT_EQ(parse_error(doc + "x"), "trailing characters at line 1 column 131");
  EXPECT_EQ(parse_error(doc + "\n {}"), "trailing characters at line 2 column 2");
  // The text is taken with its length: a NUL after the document is a character like any other.
  EXPECT_EQ(parse_error(doc + std::string(1, '\0')), "trailing characters at line 1 column 131");
}

TEST(ReaderSyntax, Numbers) {
  EXPECT_EQ(parse_error(R"({"x":01})"), "invalid number at line 1 column 7");
  EXPECT_EQ(parse_error(R"({"x":1.})"), "invalid number at line 1 column 8");
  EXPECT_EQ(parse_error(R"({"x":-x})"), "invalid number at line 1 column 7");
  EXPECT_EQ(parse_error(R"({"x":1e+})"), "invalid number at line 1 column 9");
  EXPECT_EQ(parse_error(R"({"x":1e400})"), "number out of range at line 1 column 10");
}

TEST(ReaderSyntax, Strings) {
  EXPECT_EQ(parse_error("{\"x\":\"a\tb\"}"),
            "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 8");
  EXPECT_EQ(parse_error(R"({"x":"\q"})"), "invalid escape at line 1 column 8");
  EXPECT_EQ(parse_error(R"({"x":"\u12G4"})"), "invalid escape at line 1 column 11");
  EXPECT_EQ(parse_error(R"({"x":"\ud800"})"),
            "lone leading surrogate in hex escape at line 1 column 12");
  EXPECT_EQ(parse_error(R"({"x":"\ud800\u0041"})"),
            "lone leading surrogate in hex escape at line 1 column 18");
  EXPECT_EQ(parse_error(R"({"x":"\udc00"})"),
            "lone trailing surrogate in hex escape at line 1 column 12");
  EXPECT_EQ(parse_error("{\"x\":\"\xC3\x28\"}"), "invalid unicode code point at line 1 column 7");
  EXPECT_EQ(parse_error("{\"x\":\"\xED\xA0\x80\"}"),
            "invalid unicode code point at line 1 column 7");
}

TEST(ReaderSyntax, RecursionLimitCountsSkippedValues) {
  auto nested = [](int depth) {
    return std::string(R"({"x":)") + std::string(static_cast<std::size_t>(depth), '[') +
           std::string(static_cast<std::size_t>(depth), ']') + "}";
  };
  // The document's own object is the first level.
  EXPECT_EQ(parse_error(nested(126)).substr(0, 13), "missing field");
  EXPECT_EQ(parse_error(nested(127)), "recursion limit exceeded at line 1 column 132");
  EXPECT_EQ(parse_error(nested(100000)), "recursion limit exceeded at line 1 column 132");
}

TEST(ReaderSyntax, UnknownKeysAreSkippedButMustBeWellFormed) {
  std::string doc(kEmptyModel);
  doc.insert(1, R"("nodes":[{"a":[1,2,{"b":null}],"c":"\u00e9"}],)");
  EXPECT_EQ(parse_error(doc), "parsed");
  std::string bad(kEmptyModel);
  bad.insert(1, R"("nodes":[1,2,],)");
  EXPECT_EQ(parse_error(bad), "trailing comma at line 1 column 15");
}

}  // namespace
}  // namespace velm::testing
