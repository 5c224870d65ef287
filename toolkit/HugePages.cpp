#include "toolkit/HugePages.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif

void AdviseHugePages(void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const std::uintptr_t huge = std::uintptr_t(1) << 21;
    if (data == nullptr || bytes < 4 * huge) return;
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t from = (at + huge - 1) & ~(huge - 1);
    const std::uintptr_t to = (at + bytes) & ~(huge - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}
