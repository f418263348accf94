#include "driver/save.hpp"

#include "base/file_write.hpp"
#include "model/document.hpp"

namespace velm::driver {

base::Expected<void> save_results_to_json(const model::VELM& model,
                                          const std::filesystem::path& file_name) {
  return base::replace_file(file_name.native(), model::write_model(model));
}

}  // namespace velm::driver
