// The converter's allocations of several megabytes (the vertices, their
// text, the token list, hull work arrays) are mapped on their own and marked
// for transparent huge pages where the system offers them on request. A
// million-vertex conversion otherwise takes some 26,000 page faults, one per
// 4 KiB page first touched, which cost about a tenth of its run time on a
// virtual machine; with 2 MiB pages it takes a third as many. Smaller blocks
// come from malloc, told to map those of 256 KiB or more on their own as
// well, so that their pages go back to the system as soon as they are let
// go: otherwise the chain copies and hull storage that the decomposing
// threads take and release stay in the threads' heaps, some 6 MiB of a
// million-vertex conversion's peak. Linked into the converter's executable only, and
// left out of sanitized builds, whose own allocator checks every block.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define POLYFREP_SANITIZED_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define POLYFREP_SANITIZED_ALLOCATOR 1
#endif

#if !defined(POLYFREP_SANITIZED_ALLOCATOR)

#include <malloc.h>
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Every block starts with this record; the caller's part follows at
// kHeaderSize, which keeps the alignment operator new promises.
struct BlockHeader {
  std::size_t total_size;
  bool mapped;
};
constexpr std::size_t kHeaderSize = 64;
static_assert(sizeof(BlockHeader) <= kHeaderSize);
static_assert(kHeaderSize % __STDCPP_DEFAULT_NEW_ALIGNMENT__ == 0);

constexpr std::size_t kMappedBlockSize = std::size_t{4} << 20;
constexpr int kMallocMappedBlockSize = 256 << 10;

// Set before main runs. A fixed threshold also keeps malloc from raising it
// after the first such block is let go, which it does by default.
[[maybe_unused]] const bool malloc_maps_large_blocks =
    ::mallopt(M_MMAP_THRESHOLD, kMallocMappedBlockSize) == 1;

void* allocate(std::size_t size) {
  if (size > SIZE_MAX - kHeaderSize) throw std::bad_alloc();
  const std::size_t total = size + kHeaderSize;
  void* base = nullptr;
  const bool mapped = size >= kMappedBlockSize;
  if (mapped) {
    base = ::mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) throw std::bad_alloc();
    // Only a hint: without huge pages on request the block stays as it is.
    ::madvise(base, total, MADV_HUGEPAGE);
  } else {
    base = std::malloc(total);
    if (base == nullptr) throw std::bad_alloc();
  }
  const BlockHeader header{total, mapped};
  std::memcpy(base, &header, sizeof header);
  return static_cast<char*>(base) + kHeaderSize;
}

void release(void* block) noexcept {
  if (block == nullptr) return;
  char* base = static_cast<char*>(block) - kHeaderSize;
  BlockHeader header;
  std::memcpy(&header, base, sizeof header);
  if (header.mapped) {
    ::munmap(base, header.total_size);
  } else {
    std::free(base);
  }
}

}  // namespace

void* operator new(std::size_t size) {
  return allocate(size);
}
void* operator new[](std::size_t size) {
  return allocate(size);
}
void operator delete(void* block) noexcept {
  release(block);
}
void operator delete[](void* block) noexcept {
  release(block);
}
void operator delete(void* block, std::size_t) noexcept {
  release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  release(block);
}

#endif
