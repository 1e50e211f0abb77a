#include "base/append_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace heatdiag {

bool AppendWhole(const std::string& path, const char* data, std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  struct stat before = {};
  const bool sized = ::fstat(fd, &before) == 0;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t written = ::write(fd, data + done, size - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    done += static_cast<std::size_t>(written);
  }
  if (done < size && done > 0 && sized) {
    [[maybe_unused]] const int cut = ::ftruncate(fd, before.st_size);
  }
  const bool closed = ::close(fd) == 0;
  return done == size && closed;
}

}  // namespace heatdiag
