#include "AudioToolbox/internal/AudioUnitBundle.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "Foundation/Bundle.h"
#include "Foundation/NSError.h"
#include "Foundation/PropertyList.h"

namespace {

constexpr const char* kRegistrationFile = "Info.plist";
constexpr const char* kModuleKey = "CFBundleExecutable";
constexpr const char* kComponentsKey = "AudioComponents";
// A registration is a few hundred bytes; anything near this size is no registration.
constexpr std::uintmax_t kRegistrationSizeLimit = 1 << 20;

bool isRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The machine this program runs on, as an ELF header names it.
#if defined(__x86_64__)
constexpr Elf64_Half kHostMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr Elf64_Half kHostMachine = EM_AARCH64;
#elif defined(__riscv) && __riscv_xlen == 64
constexpr Elf64_Half kHostMachine = EM_RISCV;
#elif defined(__powerpc64__)
constexpr Elf64_Half kHostMachine = EM_PPC64;
#else
#error "the machine this program runs on has no ELF machine number here"
#endif
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr unsigned char kHostByteOrder = ELFDATA2LSB;
#else
constexpr unsigned char kHostByteOrder = ELFDATA2MSB;
#endif

// True when `count` records of `size` bytes from `offset` lie within `fileSize` bytes (no
// overflow on hostile numbers).
bool tableFits(std::uint64_t offset, std::uint64_t count, std::uint64_t size, std::uint64_t fileSize) {
  if (offset > fileSize)
    return false;
  return count == 0 || size == 0 || count <= (fileSize - offset) / size;
}

bool readAt(int fd, void* into, std::size_t size, std::uint64_t offset) {
  auto* bytes = static_cast<char*>(into);
  while (size > 0) {
    const ssize_t got = ::pread(fd, bytes, size, off_t(offset));
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return false;
    bytes += got;
    size -= std::size_t(got);
    offset += std::uint64_t(got);
  }
  return true;
}

// Why the module file cannot be loaded safely, or nothing when it can be handed to the loader.
// The loader maps the file's segments as they are listed: a segment that ends past the end of
// the file maps pages without bytes behind them, and touching those kills the process (SIGBUS).
// So the headers are read with plain reads and every table and segment is measured against the
// file's size first: a 64-bit shared object of this machine, all of whose parts lie in the file.
std::optional<std::string> moduleFileProblem(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return std::string("it cannot be read: ") + std::strerror(errno);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    return std::string("it cannot be read: ") + std::strerror(errno);
  const auto fileSize = std::uint64_t(st.st_size);

  Elf64_Ehdr header{};
  if (fileSize < sizeof header || !readAt(fd, &header, sizeof header, 0) ||
      std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
    return std::string("it is no ELF file");
  if (header.e_ident[EI_CLASS] != ELFCLASS64)
    return std::string("it is no 64-bit ELF file");
  if (header.e_ident[EI_DATA] != kHostByteOrder || header.e_machine != kHostMachine)
    return "it is built for another machine (ELF machine " + std::to_string(header.e_machine) + ")";
  if (header.e_type != ET_DYN)
    return "it is no shared object (ELF type " + std::to_string(header.e_type) + ")";
  const std::string truncated = "it is truncated at " + std::to_string(fileSize) + " bytes: ";
  if (header.e_phnum == 0 || header.e_phentsize != sizeof(Elf64_Phdr) ||
      !tableFits(header.e_phoff, header.e_phnum, sizeof(Elf64_Phdr), fileSize))
    return truncated + "its program headers do not fit";
  for (Elf64_Half i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment{};
    if (!readAt(fd, &segment, sizeof segment, header.e_phoff + std::uint64_t(i) * sizeof segment))
      return truncated + "its program headers do not fit";
    if (!tableFits(segment.p_offset, 1, segment.p_filesz, fileSize))
      return truncated + "segment " + std::to_string(i) + " ends at byte " +
             std::to_string(segment.p_offset + segment.p_filesz);
  }
  if (header.e_shoff != 0 && (header.e_shentsize != sizeof(Elf64_Shdr) ||
                              !tableFits(header.e_shoff, header.e_shnum, sizeof(Elf64_Shdr), fileSize)))
    return truncated + "its section headers do not fit";
  return std::nullopt;
}

// A four-character code from its text: exactly four bytes, most significant first.
std::optional<OSType> fourCharCode(const PropertyList* value) {
  if (!value || !value->string() || value->string()->size() != 4)
    return std::nullopt;
  OSType code = 0;
  for (unsigned char c : *value->string())
    code = (code << 8) | c;
  return code;
}

std::optional<UInt32> unsigned32(const PropertyList* value) {
  if (!value || !value->isInteger())
    return std::nullopt;
  const auto number = value->asUInt64();
  if (!number || *number > 0xFFFFFFFFu)
    return std::nullopt;
  return UInt32(*number);
}

// The components a registration lists, or the reason it is unusable (then `components` is
// left incomplete). All or nothing: one malformed entry makes the whole registration unusable.
std::optional<std::string> readComponents(const PropertyList& registration,
                                          std::vector<AudioUnitBundleComponent>& components) {
  const PropertyList* list = registration.find(kComponentsKey);
  if (!list || !list->array() || list->array()->empty())
    return "the registration lists no AudioComponents";
  std::size_t index = 0;
  for (const PropertyList& entry : *list->array()) {
    const std::string which = "AudioComponents item " + std::to_string(index++);
    const auto type = fourCharCode(entry.find("type"));
    const auto subtype = fourCharCode(entry.find("subtype"));
    const auto manufacturer = fourCharCode(entry.find("manufacturer"));
    if (!type || !subtype || !manufacturer)
      return which + " needs four-character type, subtype and manufacturer";
    const PropertyList* name = entry.find("name");
    if (!name || !name->string())
      return which + " has no name";
    const auto version = unsigned32(entry.find("version"));
    if (!version)
      return which + " has no version";
    std::optional<UInt32> flags = UInt32(0);
    if (const PropertyList* given = entry.find("flags"))
      flags = unsigned32(given);
    if (!flags)
      return which + " has flags that are no 32-bit number";
    components.push_back(
        {AudioComponentDescription{*type, *subtype, *manufacturer, *flags, 0}, *name->string(), *version});
  }
  return std::nullopt;
}

}  // namespace

AudioUnitBundle::AudioUnitBundle(std::string bundlePath, std::vector<AudioUnitBundleComponent> components,
                                 AUPrincipalClassEntry entry)
    : bundlePath_(std::move(bundlePath)), components_(std::move(components)), entry_(entry) {}

void AudioUnitBundle::logSkipped(std::string_view bundlePath, std::string_view reason) {
  std::string line = "AudioComponent: skipped plug-in ";
  line.append(bundlePath).append(": ").append(reason).append("\n");
  std::fwrite(line.data(), 1, line.size(), stderr);  // one write: lines never interleave
}

std::shared_ptr<AudioUnitBundle> AudioUnitBundle::load(const std::string& bundlePath) {
  auto skip = [&](std::string_view reason) -> std::shared_ptr<AudioUnitBundle> {
    logSkipped(bundlePath, reason);
    return nullptr;
  };

  // A link in the plug-in folder that leads nowhere, or back to itself.
  struct stat bundleStatus {};
  if (::stat(bundlePath.c_str(), &bundleStatus) != 0) {
    const int error = errno;
    if (error == ELOOP)
      return skip("the link loops back on itself");
    if (error == ENOENT)
      return skip("the link leads nowhere");
    return skip(std::string("the bundle cannot be examined: ") + std::strerror(error));
  }
  if (!S_ISDIR(bundleStatus.st_mode))
    return skip("the bundle is no folder");

  const std::string registrationPath = bundlePath + "/" + kRegistrationFile;
  std::error_code sizeError;
  const std::uintmax_t size = std::filesystem::file_size(registrationPath, sizeError);
  if (!sizeError && size > kRegistrationSizeLimit)
    return skip("Info.plist is too large");
  std::ifstream file(registrationPath, std::ios::binary);
  if (!file)
    return skip("no Info.plist");
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                        std::istreambuf_iterator<char>()};
  PropertyList registration;
  try {
    registration = PropertyListSerialization::propertyList(bytes);
  } catch (const NSError&) {
    return skip("Info.plist is no property list");
  }
  if (!registration.isDictionary())
    return skip("Info.plist is no dictionary");

  const PropertyList* moduleName = registration.find(kModuleKey);
  if (!moduleName || !moduleName->string() || moduleName->string()->empty())
    return skip("Info.plist names no module (CFBundleExecutable)");
  // The module must stay inside the bundle: a plain file name only.
  const std::string& name = *moduleName->string();
  if (name.find_first_of(std::string("/\0", 2)) != std::string::npos || name == "." || name == "..")
    return skip("the module name \"" + name + "\" is no plain file name");

  std::vector<AudioUnitBundleComponent> components;
  if (auto problem = readComponents(registration, components))
    return skip(*problem);

  const std::string modulePath = bundlePath + "/" + name;
  if (!isRegularFile(modulePath))
    return skip("the module " + name + " is missing");
  if (auto problem = moduleFileProblem(modulePath))
    return skip("the module will not load (" + *problem + ")");
  // Symbols bound at once, so a module with unresolved references fails here and not later.
  void* module = ::dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* why = ::dlerror();
    return skip("the module will not load (" + std::string(why ? why : "unknown reason") + ")");
  }
  void* symbol = ::dlsym(module, KOV_PRINCIPAL_CLASS_ENTRY_NAME);
  // Left open even then: its static set-up has run, and closing it could pull code from under
  // whatever that set-up registered.
  if (!symbol)
    return skip("the module has no entry " KOV_PRINCIPAL_CLASS_ENTRY_NAME);
  auto entry = reinterpret_cast<AUPrincipalClassEntry>(symbol);
  Bundle::registerModuleBundle(symbol, bundlePath);
  return std::make_shared<AudioUnitBundle>(bundlePath, std::move(components), entry);
}

std::vector<std::string> AudioUnitBundle::bundlePathsIn(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> paths;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const fs::path& path = it->path();
    if (path.extension() != folderExtension)
      continue;
    // A link whose target cannot be reached is listed too, so that loading it says why.
    std::error_code kindError, linkError;
    if (it->is_directory(kindError) || (kindError && it->is_symlink(linkError)))
      paths.push_back(path.string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}
