#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

#include "pages.h"

// Fresh pages come in at once, and pages in use keep what they hold (from the middle of a page to the
// middle of another, as heap blocks lie).
TEST(Pages, PrefaultBringsPagesInAndKeepsContents) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t pages = 16;
  void* map = mmap(nullptr, pages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(map, MAP_FAILED);
  auto* bytes = static_cast<unsigned char*>(map);
  for (size_t i = 0; i < page / 2; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 1);  // page 0 only

  prefaultPages(bytes + page / 4, (pages - 1) * page);
  std::vector<unsigned char> resident(pages);
  ASSERT_EQ(mincore(map, pages * page, resident.data()), 0);
#ifdef MADV_POPULATE_WRITE
  if (madvise(map, page, MADV_POPULATE_WRITE) == 0) {  // the kernel can populate
    for (size_t p = 0; p < pages; ++p) EXPECT_TRUE(resident[p] & 1) << "page " << p;
  }
#endif
  for (size_t i = 0; i < page / 2; ++i) ASSERT_EQ(bytes[i], static_cast<unsigned char>(i * 7 + 1)) << i;
  for (size_t i = page / 2; i < pages * page; i += 97) ASSERT_EQ(bytes[i], 0) << i;
  munmap(map, pages * page);
}
