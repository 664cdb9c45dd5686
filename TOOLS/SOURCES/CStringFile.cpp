// CString: printing, and loading and saving whole files.
#include "SDOString.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace SDO {

namespace fs = std::filesystem;

int CString::operator>>(int n) {
    if (length != 0)
        for (int i = 0; i < n; ++i)
            std::printf("%s", c_str());
    return 0;
}

// Only regular files are loaded: a directory or a device has no meaningful size (ftell may
// report a huge one) and a FIFO would block. Sizes above INT_MAX do not fit the length and
// are treated like a buffer that cannot be allocated.
int CString::operator<<(char* path) {
    if (!path)
        return 0;
    Clear();
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    const bool loadable = ec || !fs::exists(st) || fs::is_regular_file(st);
    std::FILE* f = loadable ? std::fopen(path, "rb") : nullptr;
    if (!f) {
        std::printf("\nERROR: File '%s' could not be opened for loading.", path);
        return 0;
    }
    if (std::fseek(f, 0, SEEK_END) == 0) {
        const long size = std::ftell(f);
        std::rewind(f);
        if (char* buffer = size > 0 ? NewBuffer(size) : nullptr) {
            Install(buffer, static_cast<int>(size));
            // A short read keeps the full length; the unread bytes stay zero.
            if (std::fread(buffer, 1, static_cast<size_t>(size), f) != static_cast<size_t>(size))
                std::printf("\nERROR: While reading file.");
        }
    }
    std::fclose(f);
    return length;
}

// A regular file (or a new one) is written beside its place and renamed over it only when
// the whole content was written, so a failed save leaves the old file as it was. Devices and
// other special files are written in place.
int CString::operator>>(char* path) {
    if (!path)
        return 0;
    if (length == 0) {
        std::printf("\nError: String object is empty.");
        return 0;
    }
    auto cannotOpen = [path] {
        std::printf("\nERROR: File '%s' could not be opened for saving.", path);
        return 0;
    };

    std::error_code ec;
    fs::path target(path);
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        fs::path resolved = fs::canonical(target, ec);   // rename would replace the link
        if (!ec)
            target = resolved;
    }
    const fs::file_status st = fs::status(target, ec);
    const bool exists = !ec && fs::exists(st);
    if (exists && fs::is_directory(st))
        return cannotOpen();
    const bool aside = !exists || fs::is_regular_file(st);
    if (exists && aside) {
        // Opening for update checks that the file may be written, without touching it.
        std::FILE* probe = std::fopen(target.c_str(), "r+b");
        if (!probe)
            return cannotOpen();
        std::fclose(probe);
    }

    const std::string written = aside ? target.string() + ".sdo-saving" : target.string();
    std::FILE* f = std::fopen(written.c_str(), "wb");
    if (!f)
        return cannotOpen();
    bool ok = std::fwrite(data, 1, static_cast<size_t>(length), f) == static_cast<size_t>(length);
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::printf("\nERROR: While writing file.");
        if (aside)
            std::remove(written.c_str());
        return 0;
    }
    if (aside) {
        if (exists)
            fs::permissions(written, st.permissions(), ec);
        if (std::rename(written.c_str(), target.c_str()) != 0) {
            std::remove(written.c_str());
            return cannotOpen();
        }
    }
    return 0;
}

} // namespace SDO
