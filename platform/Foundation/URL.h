// Addresses as values: file URLs made from paths, and any other URL
// made from text. A file URL keeps its path (percent-decoded) and its text form
// ("file:///a/b%20c"); path operations work on the path of any URL.
#pragma once

#include <optional>
#include <string>
#include <vector>
#include <string_view>

class URL {
 public:
  // A file URL for a path. A relative path is resolved against the current folder. With
  // `isDirectory` the URL ends in "/" (`hasDirectoryPath`); without it a path that names an
  // existing folder gets the "/" as well (the folder is looked up on disk). [any]
  static URL fileURLWithPath(std::string_view path);
  static URL fileURLWithPath(std::string_view path, bool isDirectory);

  // URL(string:): nil for text that is no URL reference (empty, characters a URL cannot hold
  // such as blanks, bad %-escapes, a bad scheme or port). Relative references are valid. [any]
  static std::optional<URL> string(std::string_view text);

  // The whole text of the URL. [any]
  const std::string& absoluteString() const { return text_; }
  bool isFileURL() const { return isFile_; }
  // "file", "https", ... (empty for a relative reference). [any]
  std::string scheme() const;
  // The host of a URL with an authority part ("" for none). [any]
  std::string host() const;
  // The percent-decoded path, without a trailing "/" (except for the root "/"). [any]
  std::string path() const;
  bool hasDirectoryPath() const;

  // The last path component ("/" for the root, "" for an empty path). [any]
  std::string lastPathComponent() const;
  // The text after the last "." of the last component ("" when there is none, and for names
  // that only start with a dot such as ".plist"). [any]
  std::string pathExtension() const;
  // This URL less the extension of its last component (and the dot). [any]
  URL deletingPathExtension() const;
  URL deletingLastPathComponent() const;
  // This URL with `component` appended to its path; the component may hold several parts
  // ("a/b/") and a trailing "/" makes it a folder URL. [any]
  URL appendingPathComponent(std::string_view component) const;
  URL appendingPathComponent(std::string_view component, bool isDirectory) const;
  URL appendingPathExtension(std::string_view pathExtension) const;

  // What printing the URL shows: its text. [any]
  std::string description() const { return text_; }

  bool operator==(const URL& other) const { return text_ == other.text_; }

 private:
  URL() = default;
  static URL fromFilePath(std::string path, bool isDirectory);
  // For a URL that is no file URL: replaces the path part of the text.
  URL withPath(const std::string& decodedPath, bool isDirectory) const;

  std::string text_;
  bool isFile_ = false;
  std::string filePath_;  // file URLs: the absolute, decoded path with "/" for folders
};

// A list of URLs as printing it shows: [a, b] with each URL's text. [any]
std::string describe(const std::vector<URL>& urls);
