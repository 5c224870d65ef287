// Huge-page advice for large buffers. Writing a fresh buffer of hundreds of
// megabytes takes one page fault per small page; under huge pages it takes
// one per 2 MiB, which on some machines is most of the cost of filling it.

#ifndef TOOLKIT_HUGEPAGES_H
#define TOOLKIT_HUGEPAGES_H

#include <cstddef>
#include <vector>

// Asks the system to back the whole 2 MiB pages inside [data, data + bytes)
// with huge pages. Best effort: buffers under 8 MiB, systems without the
// advice and refusals are left as they are. Call it before the buffer is
// first written; its contents do not change.
void AdviseHugePages(void* data, std::size_t bytes);

// Reserves room for count elements in v and advises huge pages for it.
template <class T, class A>
void ReserveHuge(std::vector<T, A>& v, std::size_t count) {
    v.reserve(count);
    AdviseHugePages(v.data(), v.capacity() * sizeof(T));
}

#endif
