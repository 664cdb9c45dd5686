// Property lists through libplist 2.2. libplist reports no errors (a failed parse leaves NULL)
// and has only unsigned integers, so this file adds the checks and the sign handling:
// - input is checked for nesting depth and binary expansion before libplist sees it;
// - a negative integer is stored as its two's complement. libplist keeps a per-node width: 8
//   bytes (written signed, "-5") or 16 bytes (written unsigned), which only its parsers set. A
//   value at or above 2^63 is therefore written through a node parsed from its decimal text, and
//   on reading, the sign of such a value is told by how libplist writes the node back;
// - libplist's XML writer drops the sign of -0.0, so XML output carries -0.0 through a unique
//   placeholder text that is then replaced by "<real>-0.0</real>". Every other real comes back
//   bit for bit (NaN comes back as the default NaN).
#include <glib.h>
#include <plist/plist.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "Foundation/NSError.h"
#include "Foundation/PropertyList.h"
#include "Foundation/internal/PropertyListSafety.h"

namespace {

constexpr std::int64_t kReadCorruptError = 3840;   // NSPropertyListReadCorruptError
constexpr std::int64_t kWriteInvalidError = 3851;  // NSPropertyListWriteInvalidError

NSError readError() {
  return NSError(NSCocoaErrorDomain, kReadCorruptError,
                 "The data couldn\u2019t be read because it isn\u2019t in the correct format.");
}

NSError writeError() {
  return NSError(NSCocoaErrorDomain, kWriteInvalidError,
                 "The data couldn\u2019t be written because it isn\u2019t in the correct format.");
}

// Owns a libplist node tree.
struct Node {
  plist_t node = nullptr;
  explicit Node(plist_t n = nullptr) : node(n) {}
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  ~Node() {
    if (node)
      plist_free(node);
  }
  plist_t release() { return std::exchange(node, nullptr); }
};

std::string nodeAsXml(plist_t node) {
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(node, &xml, &length);
  std::string text = xml ? std::string(xml, length) : std::string();
  if (xml)
    plist_to_xml_free(xml);
  return text;
}

// True for an integer node that libplist keeps as signed (written with a minus sign).
bool isNegativeInteger(plist_t node) {
  Node copy(plist_copy(node));
  return nodeAsXml(copy.node).find("<integer>-") != std::string::npos;
}

plist_t newBigUnsigned(std::uint64_t value) {
  const std::string xml = "<plist version=\"1.0\"><integer>" + std::to_string(value) + "</integer></plist>";
  plist_t node = nullptr;
  plist_from_xml(xml.data(), static_cast<std::uint32_t>(xml.size()), &node);
  if (!node)
    throw writeError();
  return node;
}

// libplist's iterators are malloc'ed state that the caller frees.
struct IteratorMemory {
  void* it;
  explicit IteratorMemory(void* i) : it(i) {}
  IteratorMemory(const IteratorMemory&) = delete;
  IteratorMemory& operator=(const IteratorMemory&) = delete;
  ~IteratorMemory() { std::free(it); }
};

PropertyList fromNode(plist_t node, std::size_t depth) {
  if (!node || depth > plist_safety::kMaxDepth)
    throw readError();
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return PropertyList(b != 0);
    }
    case PLIST_UINT: {
      std::uint64_t u = 0;
      plist_get_uint_val(node, &u);
      if (u <= static_cast<std::uint64_t>(INT64_MAX))
        return PropertyList(static_cast<long long>(u));
      if (isNegativeInteger(node))
        return PropertyList(static_cast<long long>(static_cast<std::int64_t>(u)));
      return PropertyList(static_cast<unsigned long long>(u));
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return PropertyList(d);
    }
    case PLIST_STRING: {
      std::uint64_t length = 0;
      const char* s = plist_get_string_ptr(node, &length);
      return PropertyList(std::string(s ? s : "", s ? length : 0));
    }
    case PLIST_DATA: {
      std::uint64_t length = 0;
      const char* p = plist_get_data_ptr(node, &length);
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(p);
      return PropertyList(PropertyList::Data(bytes, bytes + (p ? length : 0)));
    }
    case PLIST_DATE: {
      std::int32_t sec = 0, usec = 0;
      plist_get_date_val(node, &sec, &usec);
      return PropertyList(PropertyList::Date{sec + usec / 1e6});
    }
    case PLIST_UID: {
      // As the platform's XML form of a keyed-archive reference shows it.
      std::uint64_t uid = 0;
      plist_get_uid_val(node, &uid);
      return PropertyList(
          PropertyList::Dictionary{{"CF$UID", PropertyList(static_cast<unsigned long long>(uid))}});
    }
    case PLIST_ARRAY: {
      // Walked with an iterator: asking for item i walks the list from its start (linear per
      // item), and a parsed binary array has no index to shortcut it.
      PropertyList::Array array;
      const std::uint32_t n = plist_array_get_size(node);
      array.reserve(n);
      plist_array_iter it = nullptr;
      plist_array_new_iter(node, &it);
      if (!it)
        throw readError();
      const IteratorMemory owned{it};
      for (std::uint32_t i = 0; i < n; ++i) {
        plist_t item = nullptr;
        plist_array_next_item(node, it, &item);
        array.push_back(fromNode(item, depth + 1));  // a missing item is a read error
      }
      return PropertyList(std::move(array));
    }
    case PLIST_DICT: {
      PropertyList::Dictionary dictionary;
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      if (!it)
        throw readError();
      const IteratorMemory owned{it};
      for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, it, &key, &value);
        if (!value) {
          std::free(key);
          break;
        }
        std::string k = key ? key : "";
        std::free(key);
        dictionary.insert_or_assign(std::move(k), fromNode(value, depth + 1));
      }
      return PropertyList(std::move(dictionary));
    }
    default:
      throw readError();
  }
}

// Set while writing XML: -0.0 becomes a string node with this text.
struct NegativeZeroPlaceholder {
  std::string text;
  std::size_t count = 0;
};

plist_t toNode(const PropertyList& value, std::size_t depth, NegativeZeroPlaceholder* negativeZero) {
  if (depth > plist_safety::kMaxDepth)
    throw writeError();
  if (const auto* d = value.dictionary()) {
    Node dict(plist_new_dict());
    for (const auto& [key, item] : *d) {
      if (key.find('\0') != std::string::npos)
        throw writeError();
      plist_dict_set_item(dict.node, key.c_str(), toNode(item, depth + 1, negativeZero));
    }
    return dict.release();
  }
  if (const auto* a = value.array()) {
    Node array(plist_new_array());
    for (const auto& item : *a)
      plist_array_append_item(array.node, toNode(item, depth + 1, negativeZero));
    return array.release();
  }
  if (const auto* s = value.string()) {
    if (s->find('\0') != std::string::npos)
      throw writeError();
    return plist_new_string(s->c_str());
  }
  if (const auto* i = value.integer()) {
    const auto bits = static_cast<std::uint64_t>(i->value);
    return i->isBigUnsigned ? newBigUnsigned(bits) : plist_new_uint(bits);
  }
  if (value.isReal()) {
    const double d = *value.asDouble();
    if (negativeZero && d == 0 && std::signbit(d)) {
      ++negativeZero->count;
      return plist_new_string(negativeZero->text.c_str());
    }
    return plist_new_real(d);
  }
  if (value.isBool())
    return plist_new_bool(*value.asBool() ? 1 : 0);
  if (const auto* data = value.data())
    return plist_new_data(reinterpret_cast<const char*>(data->data()), data->size());
  if (const auto* date = value.date()) {
    const double seconds = std::floor(date->secondsSince2001);
    if (!(seconds >= std::numeric_limits<std::int32_t>::min() &&
          seconds <= std::numeric_limits<std::int32_t>::max()))
      throw writeError();  // libplist keeps dates as 32-bit seconds
    auto sec = static_cast<std::int32_t>(seconds);
    auto usec = static_cast<std::int32_t>(std::lround((date->secondsSince2001 - seconds) * 1e6));
    if (usec >= 1000000) {
      if (sec == std::numeric_limits<std::int32_t>::max())
        throw writeError();
      ++sec;
      usec -= 1000000;
    }
    return plist_new_date(sec, usec);
  }
  throw writeError();
}

}  // namespace

namespace PropertyListSerialization {

std::vector<std::uint8_t> data(const PropertyList& propertyList, PropertyListFormat format) {
  if (format == PropertyListFormat::binary) {
    Node root(toNode(propertyList, 0, nullptr));
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(root.node, &bytes, &length);
    if (!bytes)
      throw writeError();
    std::vector<std::uint8_t> out(bytes, bytes + length);
    plist_to_bin_free(bytes);
    return out;
  }
  if (format != PropertyListFormat::xml)
    throw writeError();
  // A placeholder that occurs nowhere else in the output (checked by counting).
  for (std::uint32_t attempt = 0;; ++attempt) {
    NegativeZeroPlaceholder negativeZero;
    negativeZero.text = "-0.0 placeholder " + std::to_string(g_random_int()) + "-" + std::to_string(attempt);
    Node root(toNode(propertyList, 0, &negativeZero));
    std::string xml = nodeAsXml(root.node);
    if (xml.empty())
      throw writeError();
    const std::string marker = "<string>" + negativeZero.text + "</string>";
    std::size_t found = 0;
    for (std::size_t pos = xml.find(negativeZero.text); pos != std::string::npos;
         pos = xml.find(negativeZero.text, pos + 1))
      ++found;
    if (found != negativeZero.count)
      continue;
    for (std::size_t pos = xml.find(marker); pos != std::string::npos; pos = xml.find(marker, pos))
      xml.replace(pos, marker.size(), "<real>-0.0</real>");
    return std::vector<std::uint8_t>(xml.begin(), xml.end());
  }
}

PropertyList propertyList(const std::vector<std::uint8_t>& data, PropertyListMutabilityOptions,
                          PropertyListFormat* format) {
  if (data.empty() || data.size() > std::numeric_limits<std::uint32_t>::max())
    throw readError();
  const char* bytes = reinterpret_cast<const char*>(data.data());
  const auto length = static_cast<std::uint32_t>(data.size());
  const bool binary = plist_is_binary(bytes, length) != 0;
  const bool safe = binary ? plist_safety::binaryStructureWithinLimits(data.data(), data.size())
                           : plist_safety::xmlNestingWithinLimit(data.data(), data.size());
  if (!safe)
    throw readError();
  Node root;
  if (binary)
    plist_from_bin(bytes, length, &root.node);
  else
    plist_from_xml(bytes, length, &root.node);
  if (!root.node)
    throw readError();
  PropertyList result = fromNode(root.node, 0);
  if (format)
    *format = binary ? PropertyListFormat::binary : PropertyListFormat::xml;
  return result;
}

}  // namespace PropertyListSerialization
