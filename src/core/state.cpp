#include "core/state.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace quillet {

void populate_for_writing(void* data, std::size_t bytes) {
#if defined(MADV_POPULATE_WRITE)
  if (bytes == 0) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto first = reinterpret_cast<std::uintptr_t>(data);
  // The pages that hold the bytes: all mapped and writable, as the bytes are.
  const std::uintptr_t start = first / page * page;
  ::madvise(reinterpret_cast<void*>(start), first + bytes - start, MADV_POPULATE_WRITE);
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace quillet
