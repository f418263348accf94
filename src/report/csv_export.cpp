#include "report/csv_export.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "base/file_write.hpp"
#include "base/system_error.hpp"
#include "format/numbers.hpp"

namespace velm::report {

namespace {

constexpr int kDecimals = 6;

// Appends one field, quoted (with inner quotes doubled) only when it holds the delimiter, a
// quote or a line break. The numbers written here never do, but the dialect is kept whole.
void append_field(std::string& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(field);
    return;
  }
  out.push_back('"');
  for (const char c : field) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

// Creates or truncates the file and writes the whole text. Failure: write_failed with the
// system's text.
base::Expected<void> write_file(const std::filesystem::path& path, std::string_view text) {
  // Overwritten in place and cut to its new length afterwards rather than truncated on open:
  // a file truncated to zero and rewritten is flushed to disk on close by some file systems,
  // which costs a disk write per member.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return base::fail(base::ErrorCode::write_failed, base::os_error_text(errno));
  const auto length = static_cast<off_t>(text.size());
  int error = base::write_all(fd, text);
  if (error == 0 && ::ftruncate(fd, length) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) return base::fail(base::ErrorCode::write_failed, base::os_error_text(error));
  return {};
}

}  // namespace

std::string transformation_matrix_file_name(std::uint32_t member_id) {
  return "transformation_matrix_member_" + std::to_string(member_id) + ".csv";
}

std::string matrix_csv(const linalg::Matrix12& matrix) {
  std::string out;
  out.reserve(static_cast<std::size_t>(matrix.size()) * 12);
  char number[format::max_fixed_length(kDecimals)];
  for (Eigen::Index i = 0; i < matrix.rows(); ++i) {
    for (Eigen::Index j = 0; j < matrix.cols(); ++j) {
      if (j > 0) out.push_back(',');
      const char* end = format::write_fixed(number, matrix(i, j), kDecimals);
      append_field(out, {number, static_cast<std::size_t>(end - number)});
    }
    out.push_back('\n');
  }
  return out;
}

void export_transformation_matrix(const Output& output, std::uint32_t member_id,
                                  const linalg::Matrix12& matrix) {
  const std::string name = transformation_matrix_file_name(member_id);
  if (const auto written = write_file(output.file(name), matrix_csv(matrix)); !written) {
    output.console.error("Failed to save transformation matrix for Member " +
                         std::to_string(member_id) + ": " + written.error().detail + "\n");
    return;
  }
  output.console.write("Matrix saved to '" + name + "'\n");
  output.console.write("Transformation matrix saved to '" + name + "'\n");
}

}  // namespace velm::report
