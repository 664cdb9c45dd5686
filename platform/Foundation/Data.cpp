#include "Foundation/Data.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <glib.h>

#include "Foundation/internal/FileErrors.h"

namespace {

bool has(DataWritingOptions options, DataWritingOptions flag) {
  return (static_cast<unsigned>(options) & static_cast<unsigned>(flag)) != 0;
}

struct FileDescriptor {
  int fd = -1;
  explicit FileDescriptor(int f) : fd(f) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd >= 0)
      ::close(fd);
  }
  int release() {
    const int f = fd;
    fd = -1;
    return f;
  }
};

// Writes everything; returns 0 or the errno of the failure.
int writeAll(int fd, const Data& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return errno;
    }
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Written aside in the same folder, flushed, given the old file's permissions (a new file gets the
// usual ones), then renamed over the target: the rename is atomic, so readers see the old
// file or the new one, never a part. On failure the aside file is removed.
void writeAtomically(const Data& data, const std::string& path) {
  const std::string folder = folderOf(path);
  struct stat folderStat {};
  if (::stat(folder.c_str(), &folderStat) != 0)
    throw file_errors::writeError(errno, path);
  // A hidden name beside the target; created with mode 0666, so the process's umask applies as
  // for any new file.
  std::string aside;
  FileDescriptor file(-1);
  for (int attempt = 0; attempt < 100 && file.fd < 0; ++attempt) {
    const auto slash = path.find_last_of('/');
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x", g_random_int());
    aside = slash == std::string::npos ? "." + path + suffix
                                       : path.substr(0, slash + 1) + "." + path.substr(slash + 1) + suffix;
    file.fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file.fd < 0 && errno != EEXIST)
      break;
  }
  if (file.fd < 0)
    throw file_errors::writeError(errno, path);

  int error = writeAll(file.fd, data);
  struct stat old {};
  if (!error && ::stat(path.c_str(), &old) == 0 && ::fchmod(file.fd, old.st_mode & 07777) != 0)
    error = errno;
  if (!error && ::fsync(file.fd) != 0)
    error = errno;
  if (!error && ::close(file.release()) != 0)
    error = errno;
  if (!error && ::rename(aside.c_str(), path.c_str()) != 0)
    error = errno;
  if (error) {
    ::unlink(aside.c_str());
    throw file_errors::writeError(error, path);
  }
}

}  // namespace

Data dataWithContentsOf(const URL& url) {
  if (!url.isFileURL())
    throw file_errors::unsupportedSchemeError(false);
  const std::string path = url.path();
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.fd < 0)
    throw file_errors::readError(errno, path);
  struct stat st {};
  if (::fstat(file.fd, &st) != 0)
    throw file_errors::readError(errno, path);
  if (S_ISDIR(st.st_mode))
    throw file_errors::readError(EISDIR, path);
  Data data;
  if (st.st_size > 0)
    data.reserve(static_cast<std::size_t>(st.st_size));
  std::uint8_t buffer[65536];
  for (;;) {
    const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      throw file_errors::readError(errno, path);
    }
    if (n == 0)
      break;
    data.insert(data.end(), buffer, buffer + n);
  }
  return data;
}

void writeData(const Data& data, const URL& to, DataWritingOptions options) {
  if (!to.isFileURL())
    throw file_errors::unsupportedSchemeError(true);
  const std::string path = to.path();
  if (has(options, DataWritingOptions::atomic) && !has(options, DataWritingOptions::withoutOverwriting)) {
    writeAtomically(data, path);
    return;
  }
  const int exclusive = has(options, DataWritingOptions::withoutOverwriting) ? O_EXCL : 0;
  FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | exclusive, 0666));
  if (file.fd < 0)
    throw file_errors::writeError(errno, path);
  int error = writeAll(file.fd, data);
  if (!error && ::close(file.release()) != 0)
    error = errno;
  if (error)
    throw file_errors::writeError(error, path);
}
