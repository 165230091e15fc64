// Source stamps: a JPEG's header kept on its thumbnail.
#include "album/source_stamp.h"

#include <elf.h>
#include <link.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kAttribute[] = "user.quorvel.source";

// The executable's build ID in hex: another build may read headers by other
// rules, so it trusts no stamp of this one. Empty (no stamps at all) when
// the linker left none.
std::string readBuildId() {
  std::string id;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* out) {
        // The executable comes first, and its walk is the only one wanted.
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const ElfW(Phdr)& segment = info->dlpi_phdr[i];
          if (segment.p_type != PT_NOTE) continue;
          const auto* at = reinterpret_cast<const unsigned char*>(info->dlpi_addr + segment.p_vaddr);
          const unsigned char* end = at + segment.p_memsz;
          while (at + sizeof(ElfW(Nhdr)) <= end) {
            ElfW(Nhdr) note;
            std::memcpy(&note, at, sizeof note);
            const unsigned char* name = at + sizeof note;
            const unsigned char* desc = name + ((note.n_namesz + 3) & ~3u);
            if (desc + note.n_descsz > end) break;
            if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 && std::memcmp(name, "GNU", 4) == 0) {
              auto* hex = static_cast<std::string*>(out);
              char digits[3];
              for (unsigned k = 0; k < note.n_descsz; ++k) {
                std::snprintf(digits, sizeof digits, "%02x", desc[k]);
                *hex += digits;
              }
              return 1;
            }
            at = desc + ((note.n_descsz + 3) & ~3u);
          }
        }
        return 1;
      },
      &id);
  return id;
}

const std::string& buildId() {
  static const std::string id = readBuildId();
  return id;
}

// The stamp's first part, which must match whole: program, reading, file,
// as a 64-bit FNV-1a digest. Spelt out they take some 130 bytes, and ext4
// keeps at most 56 in the inode: a longer value costs every thumbnail a
// 4 KiB block of its own, and a run after a reboot a read of it.
std::string key(const SourceIdentity& f, bool allContent) {
  char text[256];
  std::snprintf(text, sizeof text, "%s %d %llu %llu %lld %lld.%09lld %lld.%09lld", buildId().c_str(),
                allContent ? 1 : 0, f.device, f.inode, f.size, f.modifiedSec, f.modifiedNsec, f.changedSec,
                f.changedNsec);
  uint64_t digest = 0xcbf29ce484222325;
  for (const char* c = text; *c; ++c) digest = (digest ^ static_cast<unsigned char>(*c)) * 0x100000001b3;
  char stamp[24];
  std::snprintf(stamp, sizeof stamp, "2 %016llx ", static_cast<unsigned long long>(digest));
  return stamp;
}

}  // namespace

bool sourceIdentityOf(const char* path, SourceIdentity* identity) {
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  identity->device = st.st_dev;
  identity->inode = st.st_ino;
  identity->size = st.st_size;
  identity->modifiedSec = st.st_mtim.tv_sec;
  identity->modifiedNsec = st.st_mtim.tv_nsec;
  identity->changedSec = st.st_ctim.tv_sec;
  identity->changedNsec = st.st_ctim.tv_nsec;
  return true;
}

bool sourceStampRead(const std::string& micro, const SourceIdentity& identity, bool allContent,
                     ImgHeaderInfo* header) {
  if (buildId().empty()) return false;
  char value[320];
  const ssize_t length = lgetxattr(micro.c_str(), kAttribute, value, sizeof value - 1);
  if (length <= 0) return false;
  value[length] = '\0';
  const std::string expected = key(identity, allContent);
  if (static_cast<size_t>(length) <= expected.size() || expected.compare(0, expected.size(), value, expected.size()))
    return false;
  int width = 0, height = 0;
  long long held = 0;
  int used = 0;
  if (std::sscanf(value + expected.size(), "%d %d %lld%n", &width, &height, &held, &used) != 3 ||
      static_cast<size_t>(used) != length - expected.size() || width < 1 || height < 1 || held < 0)
    return false;
  header->width = width;
  header->height = height;
  header->held = held;
  return true;
}

void sourceStampWrite(const std::string& micro, const SourceIdentity& identity, bool allContent,
                      const ImgHeaderInfo& header) {
  if (buildId().empty()) return;
  char size[80];
  std::snprintf(size, sizeof size, "%d %d %lld", header.width, header.height, header.held);
  const std::string value = key(identity, allContent) + size;
  (void)lsetxattr(micro.c_str(), kAttribute, value.data(), value.size(), 0);
}
