#include "SmallDiskU.h"

#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <fstream>

TSmallDisk::TSmallDisk(size_t bytes) {
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
  if (::mount("tmpfs", FFolder.Path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) ==
      0) {
    FMounted = true;
    return;
  }
  FReason = std::string("cannot mount a small tmpfs here: ") + std::strerror(errno);
}

TSmallDisk::~TSmallDisk() {
  if (FMounted) ::umount2(FFolder.Path().c_str(), MNT_DETACH);
}

void TSmallDisk::Fill(size_t room) {
  struct statvfs info {};
  if (::statvfs(FFolder.Path().c_str(), &info) != 0) return;
  const size_t free = size_t(info.f_bavail) * info.f_frsize;
  if (free <= room) return;
  std::ofstream filler(FFolder.Path() / ".filler", std::ios::binary);
  const std::string block(4096, 'x');
  for (size_t left = free - room; left > 0 && filler;) {
    const size_t part = std::min(left, block.size());
    filler.write(block.data(), std::streamsize(part));
    left -= part;
  }
}
