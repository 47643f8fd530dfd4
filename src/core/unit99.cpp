#include "core/unit99.hpp"

namespace quillet {

void Unit99File::write_line(std::string_view line) {
  if (!file_.is_open()) {
    if (failed_) return;
    file_.open(path_, std::ios::out | std::ios::app);
    if (!file_) {
      failed_ = true;
      return;
    }
  }
  file_.write(line.data(), static_cast<std::streamsize>(line.size()));
  file_.put('\n');
  file_.flush();
  if (!file_) failed_ = true;
}

}  // namespace quillet
