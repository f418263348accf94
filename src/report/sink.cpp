#include "report/sink.hpp"

#include "base/file_write.hpp"

namespace velm::report {

void FdSink::write(std::string_view bytes) {
  // A failed write loses the text; the analysis goes on.
  (void)base::write_all(fd_, bytes);
}

}  // namespace velm::report
