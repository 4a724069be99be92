#include "platform/containers/file_format.h"

#include <cstring>

#include "platform/containers/byte_io.h"
#include "platform/containers/checksum.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/value_codec.h"

namespace wayfind::platform::fileformat {
namespace {

// Writes the header for the content that follows it in bytes.
void writeHeader(std::string& bytes) {
  std::string_view content = std::string_view(bytes).substr(kHeaderSize);
  std::string header;
  header.reserve(kHeaderSize);
  ByteWriter w(header);
  w.bytes(std::string_view(kMagic, sizeof kMagic));
  w.u32(kFormatVersion);
  w.u32(crc32(content));
  w.u64(content.size());
  bytes.replace(0, kHeaderSize, header);
}

}  // namespace

HeaderStatus readHeader(std::string_view bytes, Header& header) {
  if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
    return HeaderStatus::NotADictionary;
  ByteReader r(bytes.substr(sizeof kMagic, kHeaderSize - sizeof kMagic));
  r.u32(header.version);
  r.u32(header.checksum);
  r.u64(header.contentLength);
  // Version 0 was never written; anything above ours comes from a newer build.
  if (header.version == 0) return HeaderStatus::NotADictionary;
  if (header.version > kFormatVersion) return HeaderStatus::NewerVersion;
  return HeaderStatus::Ok;
}

std::string encode(const Dictionary& dict) {
  std::string bytes(kHeaderSize, '\0');
  ByteWriter w(bytes);
  encodeDictionaryBody(w, dict, 0);
  writeHeader(bytes);
  return bytes;
}

bool decode(std::string_view bytes, Dictionary& into) {
  Header header;
  if (readHeader(bytes, header) != HeaderStatus::Ok) return false;
  std::string_view content = bytes.substr(kHeaderSize);
  // The exact length catches truncation and appended bytes before any work; the
  // checksum then catches damage anywhere in the content.
  if (header.contentLength != content.size()) return false;
  if (crc32(content) != header.checksum) return false;
  try {
    ByteReader r(content);
    return decodeDictionaryBody(r, into, 0) && r.atEnd();
  } catch (...) {
    return false;  // e.g. out of memory while filling a record set
  }
}

std::string seal(std::string_view content) {
  std::string bytes(kHeaderSize, '\0');
  bytes.append(content);
  writeHeader(bytes);
  return bytes;
}

}  // namespace wayfind::platform::fileformat
