#include "Foundation/URL.h"

#include <glib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

struct GFreeDeleter {
  void operator()(void* p) const { g_free(p); }
};
using GString_ = std::unique_ptr<char, GFreeDeleter>;

std::string take(char* s) {
  GString_ owned(s);
  return owned ? std::string(owned.get()) : std::string();
}

bool isDirectoryOnDisk(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Absolute, with single slashes, without a trailing slash (except the root).
std::string normalizedAbsolutePath(std::string_view path) {
  std::string absolute;
  if (path.empty() || path.front() != '/') {
    absolute = take(g_get_current_dir());
    absolute += '/';
  }
  absolute += path;
  std::string out;
  for (char c : absolute)
    if (!(c == '/' && !out.empty() && out.back() == '/'))
      out += c;
  while (out.size() > 1 && out.back() == '/')
    out.pop_back();
  return out;
}

bool isSchemeText(std::string_view s) {
  if (s.empty() || !g_ascii_isalpha(s.front()))
    return false;
  for (char c : s)
    if (!g_ascii_isalnum(c) && c != '+' && c != '-' && c != '.')
      return false;
  return true;
}

// The characters a URL reference may hold (RFC 3986: unreserved, reserved and '%').
bool isURLCharacter(unsigned char c) {
  return g_ascii_isalnum(c) || std::strchr("-._~:/?#[]@!$&'()*+,;=%", c) != nullptr;
}

struct Parts {
  std::string scheme, userinfo, host, path, query, fragment;
  int port = -1;
};

bool split(const std::string& text, Parts& parts) {
  char *scheme = nullptr, *userinfo = nullptr, *host = nullptr, *path = nullptr, *query = nullptr,
       *fragment = nullptr;
  gint port = -1;
  // Encoded: the parts stay as written (no decoding), so they can be joined again unchanged.
  if (!g_uri_split(text.c_str(), G_URI_FLAGS_ENCODED, &scheme, &userinfo, &host, &port, &path, &query,
                   &fragment, nullptr))
    return false;
  parts.scheme = take(scheme);
  parts.userinfo = take(userinfo);
  parts.host = take(host);
  parts.path = take(path);
  parts.query = take(query);
  parts.fragment = take(fragment);
  parts.port = port;
  return true;
}

std::string lastComponentOf(const std::string& path) {
  if (path.empty() || path == "/")
    return path;
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

URL URL::fromFilePath(std::string path, bool isDirectory) {
  URL url;
  url.isFile_ = true;
  url.filePath_ = std::move(path);
  if (isDirectory && url.filePath_ != "/")
    url.filePath_ += '/';
  url.text_ = take(g_filename_to_uri(url.filePath_.c_str(), nullptr, nullptr));
  return url;
}

URL URL::fileURLWithPath(std::string_view path) {
  const std::string absolute = normalizedAbsolutePath(path);
  const bool directory = (!path.empty() && path.back() == '/') || isDirectoryOnDisk(absolute);
  return fromFilePath(absolute, directory);
}

URL URL::fileURLWithPath(std::string_view path, bool isDirectory) {
  return fromFilePath(normalizedAbsolutePath(path), isDirectory);
}

std::optional<URL> URL::string(std::string_view text) {
  if (text.empty())
    return std::nullopt;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!isURLCharacter(c))
      return std::nullopt;
    if (c == '%' &&
        (i + 2 >= text.size() || !g_ascii_isxdigit(text[i + 1]) || !g_ascii_isxdigit(text[i + 2])))
      return std::nullopt;
  }
  if (std::count(text.begin(), text.end(), '#') > 1)
    return std::nullopt;
  // A colon before any '/', '?' or '#' ends a scheme, which must be well formed.
  const std::size_t firstDelimiter = text.find_first_of(":/?#");
  if (firstDelimiter != std::string_view::npos && text[firstDelimiter] == ':' &&
      !isSchemeText(text.substr(0, firstDelimiter)))
    return std::nullopt;
  URL url;
  url.text_ = std::string(text);
  Parts parts;
  if (!split(url.text_, parts))
    return std::nullopt;  // bad port, bad host, ...
  url.isFile_ = g_ascii_strcasecmp(parts.scheme.c_str(), "file") == 0;
  if (url.isFile_) {
    GString_ decoded(g_uri_unescape_string(parts.path.c_str(), nullptr));
    if (!decoded)
      return std::nullopt;
    url.filePath_ = decoded.get();
    if (url.filePath_.empty())
      url.filePath_ = "/";
  }
  return url;
}

std::string URL::scheme() const {
  Parts parts;
  return split(text_, parts) ? parts.scheme : std::string();
}

std::string URL::host() const {
  Parts parts;
  return split(text_, parts) ? parts.host : std::string();
}

bool URL::hasDirectoryPath() const {
  if (isFile_)
    return !filePath_.empty() && filePath_.back() == '/';
  Parts parts;
  return split(text_, parts) && !parts.path.empty() && parts.path.back() == '/';
}

std::string URL::path() const {
  std::string p;
  if (isFile_) {
    p = filePath_;
  } else {
    Parts parts;
    if (!split(text_, parts))
      return {};
    GString_ decoded(g_uri_unescape_string(parts.path.c_str(), nullptr));
    p = decoded ? decoded.get() : parts.path;
  }
  while (p.size() > 1 && p.back() == '/')
    p.pop_back();
  return p;
}

std::string URL::lastPathComponent() const {
  return lastComponentOf(path());
}

std::string URL::pathExtension() const {
  const std::string name = lastPathComponent();
  const auto dot = name.find_last_of('.');
  if (dot == std::string::npos || dot == 0 || name == "/")
    return {};
  return name.substr(dot + 1);
}

URL URL::withPath(const std::string& decodedPath, bool isDirectory) const {
  std::string p = decodedPath;
  if (isDirectory && (p.empty() || p.back() != '/'))
    p += '/';
  if (isFile_)
    return fromFilePath(p.size() > 1 && p.back() == '/' ? p.substr(0, p.size() - 1) : p, isDirectory);
  Parts parts;
  if (!split(text_, parts))
    return *this;
  const std::string escaped = take(g_uri_escape_string(p.c_str(), "!$&'()*+,;=:@/", FALSE));
  URL url;
  url.text_ =
      take(g_uri_join(G_URI_FLAGS_ENCODED, parts.scheme.empty() ? nullptr : parts.scheme.c_str(),
                      parts.userinfo.empty() ? nullptr : parts.userinfo.c_str(),
                      parts.host.empty() && parts.scheme.empty() ? nullptr : parts.host.c_str(), parts.port,
                      escaped.c_str(), parts.query.empty() ? nullptr : parts.query.c_str(),
                      parts.fragment.empty() ? nullptr : parts.fragment.c_str()));
  return url;
}

URL URL::deletingPathExtension() const {
  const std::string ext = pathExtension();
  if (ext.empty())
    return *this;
  const std::string p = path();
  return withPath(p.substr(0, p.size() - ext.size() - 1), hasDirectoryPath());
}

URL URL::deletingLastPathComponent() const {
  const std::string p = path();
  const auto slash = p.find_last_of('/');
  if (p.empty() || p == "/" || slash == std::string::npos)
    return withPath(p.empty() ? "" : "/", true);
  return withPath(slash == 0 ? "/" : p.substr(0, slash), true);
}

URL URL::appendingPathComponent(std::string_view component) const {
  if (!component.empty() && component.back() == '/')
    return appendingPathComponent(component, true);
  if (isFile_) {
    std::string joined = path();
    if (joined.empty() || joined.back() != '/')
      joined += '/';
    joined += component;
    return appendingPathComponent(component, isDirectoryOnDisk(normalizedAbsolutePath(joined)));
  }
  return appendingPathComponent(component, false);
}

URL URL::appendingPathComponent(std::string_view component, bool isDirectory) const {
  std::string joined = path();
  if (joined.empty() || joined.back() != '/')
    joined += '/';
  while (!component.empty() && component.front() == '/')
    component.remove_prefix(1);
  joined += component;
  if (isFile_)
    return fromFilePath(normalizedAbsolutePath(joined), isDirectory);
  return withPath(joined, isDirectory);
}

URL URL::appendingPathExtension(std::string_view pathExtension) const {
  return withPath(path() + "." + std::string(pathExtension), hasDirectoryPath());
}

std::string describe(const std::vector<URL>& urls) {
  std::string list = "[";
  for (std::size_t i = 0; i < urls.size(); ++i) {
    if (i > 0)
      list += ", ";
    list += urls[i].description();
  }
  return list + "]";
}
