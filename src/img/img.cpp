// Img allocation: the row table and the rows share one heap block, so a
// raster costs one block, and blocks are kept for the next rasters.
#include "img/img.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>

namespace {

// Largest pixel block handed out. Codecs and effects compute row and raster
// sizes in int; a block beyond this could not be addressed by them.
constexpr uint64_t kMaxBlockBytes = INT32_MAX;

// Each block starts with its size, so that a released block can serve a
// later raster; the record's rows point just past this header.
struct alignas(std::max_align_t) BlockHeader {
  size_t size;
};

// Blocks from this size up are mapped (newBlock) and kept for later rasters;
// smaller ones come from malloc, which reuses them well.
constexpr size_t kMappedBytes = 64 * 1024;

void releaseBlock(BlockHeader* block) {
  if (!block) return;
  if (block->size >= kMappedBytes)
    munmap(block, sizeof(BlockHeader) + block->size);
  else
    std::free(block);
}

// Released blocks kept for the next rasters of this thread: a new block's
// pages cost more to have than to fill, a kept block has them already. At
// most kSlots blocks and kKeptBytes bytes are kept, so memory stays bounded
// by the largest pictures made.
class BlockCache {
 public:
  static constexpr size_t kKeptBytes = size_t{512} << 20;
  static constexpr int kSlots = 4;

  ~BlockCache() {
    for (BlockHeader* block : slots_) releaseBlock(block);
  }

  // The smallest kept block of at least size bytes, taken out; else null.
  BlockHeader* take(size_t size) {
    int best = -1;
    for (int i = 0; i < kSlots; ++i) {
      if (slots_[i] && slots_[i]->size >= size && (best < 0 || slots_[i]->size < slots_[best]->size))
        best = i;
    }
    if (best < 0) return nullptr;
    BlockHeader* block = slots_[best];
    slots_[best] = nullptr;
    kept_ -= block->size;
    return block;
  }

  void releaseAll() {
    for (BlockHeader*& block : slots_) {
      releaseBlock(block);
      block = nullptr;
    }
    kept_ = 0;
  }

  // Keeps block in place of an empty slot or a smaller block, or frees it.
  void give(BlockHeader* block) {
    if (block->size >= kMappedBytes && block->size <= kKeptBytes) {
      int slot = 0;
      for (int i = 1; i < kSlots; ++i) {
        if (!slots_[slot]) break;
        if (!slots_[i] || slots_[i]->size < slots_[slot]->size) slot = i;
      }
      BlockHeader* out = slots_[slot];
      if (!out || out->size < block->size) {
        slots_[slot] = block;
        kept_ += block->size;
        if (out) kept_ -= out->size;
        block = out;
        while (kept_ > kKeptBytes) dropSmallest();
      }
    }
    releaseBlock(block);
  }

 private:
  void dropSmallest() {
    int smallest = -1;
    for (int i = 0; i < kSlots; ++i) {
      if (slots_[i] && (smallest < 0 || slots_[i]->size < slots_[smallest]->size)) smallest = i;
    }
    kept_ -= slots_[smallest]->size;
    releaseBlock(slots_[smallest]);
    slots_[smallest] = nullptr;
  }

  BlockHeader* slots_[kSlots] = {};
  size_t kept_ = 0;
};

thread_local BlockCache tBlocks;

BlockHeader* newBlock(size_t size) {
  if (size >= kMappedBytes) {
    if (BlockHeader* kept = tBlocks.take(size)) return kept;
    // Mapped with its pages in one call: faulting them in one at a time, on
    // first touch, costs more than filling them.
    void* mapped = mmap(nullptr, sizeof(BlockHeader) + size, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    auto* block = static_cast<BlockHeader*>(mapped);
    block->size = size;
    return block;
  }
  auto* block = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
  if (block) block->size = size;
  return block;
}

}  // namespace

void imgReleaseKeptBlocks() { tBlocks.releaseAll(); }

ImgStatus imgCreate(Img* img, int width, int height) {
  img->width = width;
  img->height = height;
  img->rows = nullptr;
  if (width < 0 || height < 0) {
    img->status = IMG_CREATE_FAILED;
    return IMG_CREATE_FAILED;
  }
  const uint64_t rowBytes = uint64_t(width) * 3;
  const uint64_t tableBytes = uint64_t(height) * sizeof(unsigned char*);
  const uint64_t blockBytes = tableBytes + rowBytes * uint64_t(height);
  // 1 byte at least, so that an empty raster still owns a block like any other.
  BlockHeader* header = blockBytes <= kMaxBlockBytes ? newBlock(blockBytes ? blockBytes : 1) : nullptr;
  if (header == nullptr) {
    img->status = IMG_CREATE_FAILED;
    return IMG_CREATE_FAILED;
  }
  auto** table = reinterpret_cast<unsigned char**>(header + 1);
  unsigned char* pixels = reinterpret_cast<unsigned char*>(table) + tableBytes;
  for (int y = 0; y < height; ++y) table[y] = pixels + rowBytes * uint64_t(y);
  img->rows = table;
  img->status = IMG_OK;
  return IMG_OK;
}

Img* imgDestroy(Img* img) {
  if (img->status == 0 && img->rows != nullptr) {
    tBlocks.give(reinterpret_cast<BlockHeader*>(img->rows) - 1);
    img->rows = nullptr;
  }
  return img;
}
