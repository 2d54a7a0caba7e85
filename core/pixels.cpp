#include "core/pixels.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>

#include <mutex>
#include <unordered_map>
#endif

namespace {

#if defined(__linux__)
constexpr uint64_t HUGE_PAGE = 2u << 20;
constexpr uint64_t MAPPED_FROM = 4u << 20;

std::mutex mapped_mutex;
std::unordered_map<void*, uint64_t>& mapped_blocks()
{
    static auto* blocks = new std::unordered_map<void*, uint64_t>;
    return *blocks;
}

uint8_t* map_block(uint64_t size)
{
    const uint64_t length = (size + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
    // Over-map by one huge page so the block can start on a huge-page boundary.
    void* raw = mmap(nullptr, length + HUGE_PAGE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(raw) + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    const uint64_t head = start - reinterpret_cast<uintptr_t>(raw);
    if (head) munmap(raw, head);
    const uint64_t tail = HUGE_PAGE - head;
    if (tail) munmap(reinterpret_cast<uint8_t*>(start) + length, tail);
    void* block = reinterpret_cast<void*>(start);
    madvise(block, length, MADV_HUGEPAGE);
    std::lock_guard<std::mutex> lock(mapped_mutex);
    mapped_blocks()[block] = length;
    return static_cast<uint8_t*>(block);
}
#endif

}  // namespace

uint8_t* pixels_alloc(uint64_t size)
{
    if (size == 0) size = 1;
    if (size > UINT64_MAX / 4 || size != static_cast<size_t>(size)) return nullptr;
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
    if (size >= MAPPED_FROM) return map_block(size);
#endif
    return static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size), 1));
}

void pixels_free(void* block)
{
    if (!block) return;
#if defined(__linux__)
    {
        std::lock_guard<std::mutex> lock(mapped_mutex);
        auto& blocks = mapped_blocks();
        const auto it = blocks.find(block);
        if (it != blocks.end()) {
            munmap(block, it->second);
            blocks.erase(it);
            return;
        }
    }
#endif
    std::free(block);
}
