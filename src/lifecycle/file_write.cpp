#include "lifecycle/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace {

// Linux gives up on more than 40 links in one lookup; so do we.
constexpr int max_link_depth = 40;

std::string file_name_of(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool write_all(int fd, const u8* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Makes the rename itself durable. Failure here is not fatal: the file is
// already complete under its new name.
void sync_directory(const std::string& directory) {
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return;
  ::fsync(fd);
  ::close(fd);
}

bool write_in_place(const std::string& target, const u8* data, std::size_t size) {
  int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0)
    return false;
  bool ok = write_all(fd, data, size) && ::fsync(fd) == 0;
  if (::close(fd) != 0)
    ok = false;
  return ok;
}

}  // namespace

std::string directory_of(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  if (slash == 0)
    return "/";
  return path.substr(0, slash);
}

bool make_directories(const std::string& path) {
  if (path.empty())
    return false;
  struct stat info;
  if (::stat(path.c_str(), &info) == 0)
    return S_ISDIR(info.st_mode);
  std::size_t slash = path.find_last_not_of('/');
  slash = slash == std::string::npos ? std::string::npos : path.rfind('/', slash);
  if (slash != std::string::npos && slash > 0 && !make_directories(path.substr(0, slash)))
    return false;
  return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

std::string resolve_links(const std::string& path) {
  std::string current = path;
  for (int depth = 0; depth <= max_link_depth; ++depth) {
    struct stat info;
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
      return current;
    std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1, '\0');
    ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
    if (length < 0)
      return current;
    target.resize(static_cast<std::size_t>(length));
    if (!target.empty() && target[0] != '/')
      target = directory_of(current) + "/" + target;
    current = target;
  }
  return std::string();
}

bool write_file_atomically(const std::string& path, const u8* data, std::size_t size) {
  if (path.empty())
    return false;
  std::string target = resolve_links(path);
  if (target.empty())
    return false;

  struct stat info;
  bool exists = ::stat(target.c_str(), &info) == 0;
  if (exists) {
    if (!S_ISREG(info.st_mode))
      return false;
    if (::access(target.c_str(), W_OK) != 0)
      return false;
  } else if (errno != ENOENT) {
    return false;  // for example a path through a regular file (ENOTDIR)
  }

  std::string directory = directory_of(target);
  std::string temporary = directory + "/." + file_name_of(target) + ".XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    // A directory we may not create files in can still hold a file we may
    // rewrite; without a temporary file that is the best left to do.
    return exists && write_in_place(target, data, size);
  }

  // mkstemp creates the file with mode 0600; an existing file keeps its bits,
  // a new one gets the usual 0666 less the umask.
  mode_t mode;
  if (exists) {
    mode = info.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }

  bool ok = write_all(fd, data, size) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  // The replacement keeps the old file's owner where we may give it (root
  // may; anyone else keeps their own). Failing that is no reason to stop.
  if (ok && exists && (info.st_uid != ::geteuid() || info.st_gid != ::getegid())) {
    [[maybe_unused]] int ignored = ::fchown(fd, info.st_uid, info.st_gid);
  }
  if (::close(fd) != 0)
    ok = false;
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0)
    ok = false;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  sync_directory(directory);
  return true;
}

bool read_file_prefix(const std::string& path, std::size_t limit, std::vector<u8>& out, bool* more_follows) {
  out.clear();
  if (more_follows != nullptr)
    *more_follows = false;
  // O_NONBLOCK keeps a FIFO from stalling the open; it is refused right after.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return false;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return false;
  }
  out.resize(limit);
  std::size_t filled = 0;
  bool ok = true;
  while (filled < limit) {
    ssize_t got = ::read(fd, out.data() + filled, limit - filled);
    if (got < 0) {
      if (errno == EINTR)
        continue;
      ok = false;
      break;
    }
    if (got == 0)
      break;
    filled += static_cast<std::size_t>(got);
  }
  out.resize(filled);
  if (ok && more_follows != nullptr && filled == limit) {
    u8 extra;
    ssize_t got;
    do {
      got = ::read(fd, &extra, 1);
    } while (got < 0 && errno == EINTR);
    *more_follows = got > 0;
  }
  ::close(fd);
  if (!ok)
    out.clear();
  return ok;
}

bool write_output_file(const std::string& path, const std::vector<u8>& bytes, std::string* error) {
  errno = 0;
  if (write_file_atomically(path, bytes))
    return true;
  const int saved_errno = errno;
  if (error != nullptr)
    *error =
        "cannot write " + path + (saved_errno != 0 ? std::string(": ") + std::strerror(saved_errno) : "");
  return false;
}
