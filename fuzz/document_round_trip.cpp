// The document reader on any bytes: it accepts or refuses without fault, and a document it
// accepts, written back, reads as an equal record and writes as the same text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "model/document.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto model = velm::model::parse_model(text);
  if (!model) return 0;
  const std::string written = velm::model::write_model(*model);
  const auto again = velm::model::parse_model(written);
  if (!again) {
    std::fprintf(stderr, "the written document does not read back: %s\n",
                 again.error().detail.c_str());
    std::abort();
  }
  if (!(*again == *model)) {
    std::fprintf(stderr, "the document read back differs from the one written\n");
    std::abort();
  }
  if (velm::model::write_model(*again) != written) {
    std::fprintf(stderr, "writing the record read back gives another text\n");
    std::abort();
  }
  return 0;
}
