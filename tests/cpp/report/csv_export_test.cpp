#include "report/csv_export.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "report/sink.hpp"

namespace velm::report {
namespace {

linalg::Matrix12 sample() {
  linalg::Matrix12 t = linalg::Matrix12::Identity();
  t(0, 1) = 0.5;
  t(2, 0) = -0.0;
  t(11, 10) = -1234.5678915;
  return t;
}

TEST(CsvExport, TwelveLinesOfSixDecimalValues) {
  const std::string csv = matrix_csv(sample());
  std::istringstream lines(csv);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 11);
  }
  EXPECT_EQ(count, 12);
  EXPECT_EQ(csv.substr(0, csv.find('\n') + 1),
            "1.000000,0.500000,0.000000,0.000000,0.000000,0.000000,0.000000,0.000000,0.000000,"
            "0.000000,0.000000,0.000000\n");
  EXPECT_NE(csv.find("\n-0.000000,0.000000,1.000000,"), std::string::npos);
  EXPECT_NE(csv.find("0.000000,-1234.567892,1.000000\n"), std::string::npos);
  EXPECT_EQ(csv.back(), '\n');
  EXPECT_EQ(csv.find('"'), std::string::npos);
}

TEST(CsvExport, WritesTheFileAndReportsBothLines) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("velm-csv-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  StringSink out, err;
  {
    Console console(out, err);
    export_transformation_matrix(Output{console, dir}, 7, sample());
  }
  EXPECT_EQ(out.text,
            "Matrix saved to 'transformation_matrix_member_7.csv'\n"
            "Transformation matrix saved to 'transformation_matrix_member_7.csv'\n");
  EXPECT_EQ(err.text, "");
  std::ifstream file(dir / "transformation_matrix_member_7.csv", std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  EXPECT_EQ(content.str(), matrix_csv(sample()));
  std::filesystem::remove_all(dir);
}

TEST(CsvExport, FailureGoesToStandardErrorAfterAFlush) {
  StringSink out, err;
  {
    Console console(out, err);
    console.write("before\n");
    export_transformation_matrix(Output{console, "/nonexistent-velm-folder/sub"}, 3, sample());
    EXPECT_EQ(out.text, "before\n");  // flushed ahead of the error line
  }
  EXPECT_EQ(out.text, "before\n");
  EXPECT_EQ(err.text,
            "Failed to save transformation matrix for Member 3: No such file or directory (os "
            "error 2)\n");
}

}  // namespace
}  // namespace velm::report
