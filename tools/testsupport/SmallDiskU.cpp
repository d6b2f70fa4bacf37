#include "SmallDiskU.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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
  // A file of its own, never one a link or fifo planted at that name would redirect.
  const int fd = ::open((FFolder.Path() / ".filler").c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const std::string block(4096, 'x');
  for (size_t left = free - room; left > 0;) {
    const ssize_t written = ::write(fd, block.data(), std::min(left, block.size()));
    if (written <= 0) break;
    left -= size_t(written);
  }
  ::close(fd);
}
