#include "pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

bool prefaultPages(void* p, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  static const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  if (!p || bytes == 0) return true;
  // From the start of the first page (mapped, as it holds p) to the end of the last.
  const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(p) & ~(page - 1);
  const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(p) + bytes;
  return madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE) == 0;
#else
  (void)p;
  (void)bytes;
  return false;
#endif
}
