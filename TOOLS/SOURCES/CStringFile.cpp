// CString: printing, and loading and saving whole files.
#include "SDOString.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace SDO {

namespace fs = std::filesystem;

namespace {

// Console text is written through at once, so a redirected stdout holds it the moment it is
// printed (and after a crash), not when later output pushes it out of the stdio buffer.
__attribute__((format(printf, 1, 2))) void printNow(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

// A new file in the folder of `target`, open for writing ("wb"), under a short name that no
// other file has; its mode is what fopen would give a new file (0666 less the umask). `name`
// receives its path. Null when none can be made.
std::FILE* CreateBeside(const fs::path& target, std::string& name) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const std::string stem = ".sdo-saving-" + std::to_string(::getpid()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = folder / (stem + std::to_string(attempt));
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST)
        continue;
      return nullptr;
    }
    if (std::FILE* f = ::fdopen(fd, "wb")) {
      name = candidate.string();
      return f;
    }
    ::close(fd);
    ::unlink(candidate.c_str());
    return nullptr;
  }
  return nullptr;
}

}  // namespace

int CString::operator>>(int n) {
  if (length != 0)
    for (int i = 0; i < n; ++i)
      printNow("%s", c_str());
  return 0;
}

// Only regular files are loaded: a directory or a device has no meaningful size (ftell may
// report a huge one) and a FIFO would block. Sizes above INT_MAX do not fit the length and
// are treated like a buffer that cannot be allocated. The path is copied before the content
// is released, since it may be this string's own text.
int CString::operator<<(char* text) {
  if (!text)
    return 0;
  const std::string path(text);
  Clear();
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  const bool loadable = ec || !fs::exists(st) || fs::is_regular_file(st);
  std::FILE* f = loadable ? std::fopen(path.c_str(), "rb") : nullptr;
  if (!f) {
    printNow("\nERROR: File '%s' could not be opened for loading.", path.c_str());
    return 0;
  }
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long size = std::ftell(f);
    std::rewind(f);
    if (char* buffer = size > 0 ? NewBuffer(size) : nullptr) {
      Install(buffer, static_cast<int>(size));
      // A short read keeps the full length; the unread bytes stay zero.
      if (std::fread(buffer, 1, static_cast<size_t>(size), f) != static_cast<size_t>(size))
        printNow("\nERROR: While reading file.");
    }
  }
  std::fclose(f);
  return length;
}

// A regular file (or a new one) is written to a new file beside it, which is renamed over it
// only when the whole content was written, so a failed save leaves the old file as it was. The
// new file takes the old one's owner and mode; it gets a short name of its own (so long file
// names and the files around it are safe). Devices and other special files are written in
// place.
int CString::operator>>(char* path) {
  if (!path)
    return 0;
  if (length == 0) {
    printNow("\nError: String object is empty.");
    return 0;
  }
  auto cannotOpen = [path] {
    printNow("\nERROR: File '%s' could not be opened for saving.", path);
    return 0;
  };

  // Symbolic links are followed to the file they name, even one that does not exist yet:
  // the rename below would otherwise replace the link itself.
  std::error_code ec;
  fs::path target(path);
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
    const fs::path next = fs::read_symlink(target, ec);
    if (ec)
      break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  if (fs::is_symlink(fs::symlink_status(target, ec)))
    return cannotOpen();  // a loop of links, as fopen would find
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode))
    return cannotOpen();
  const bool aside = !exists || S_ISREG(old.st_mode);
  if (exists && aside) {
    // Opening for writing without truncation checks that the file may be written, without
    // touching it.
    const int probe = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (probe < 0)
      return cannotOpen();
    ::close(probe);
  }

  std::string written = target.string();
  std::FILE* f = aside ? CreateBeside(target, written) : std::fopen(written.c_str(), "wb");
  if (!f)
    return cannotOpen();
  if (aside && exists) {
    // The owner first: a change of owner may clear the set-id bits of the mode.
    [[maybe_unused]] const int owned = ::fchown(::fileno(f), old.st_uid, old.st_gid);
    ::fchmod(::fileno(f), old.st_mode & 07777);
  }
  bool ok = std::fwrite(data, 1, static_cast<size_t>(length), f) == static_cast<size_t>(length);
  ok = std::fflush(f) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    printNow("\nERROR: While writing file.");
    if (aside)
      std::remove(written.c_str());
    return 0;
  }
  if (aside && std::rename(written.c_str(), target.c_str()) != 0) {
    std::remove(written.c_str());
    return cannotOpen();
  }
  return 0;
}

}  // namespace SDO
