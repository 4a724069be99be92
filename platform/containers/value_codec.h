// Encoding and decoding of the content of a saved dictionary: entries, tagged
// values, and the three containers that nest (dictionaries, vectors, record
// sets). The header around the content is file_format's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/containers/byte_io.h"
#include "platform/recordset/column_store.h"

namespace wayfind::platform {
class Dictionary;
}

namespace wayfind::platform::fileformat {

// One byte in front of every value. Scalars use their VarType codes.
enum class Tag : uint8_t {
  Empty = 0,
  Null = 1,
  Integer = 2,
  Long = 3,
  Double = 5,
  Date = 7,
  String = 8,
  Boolean = 11,
  LongLong = 20,
  Nothing = 0x40,  // an object reference that is not set
  Dictionary = 0x41,
  Vector = 0x42,
  Recordset = 0x43,         // row by row, every value tagged (files of version 1)
  RecordsetColumns = 0x44,  // column by column, as the columns lie in memory
};

// The memory the content being decoded lies in: start is the content's first
// byte, 8-byte aligned and writable, kept alive by keeper. Record sets loaded
// from columns keep their cells and texts where they lie in it.
struct ContentMemory {
  char* start = nullptr;
  std::shared_ptr<const void> keeper;
  uint32_t version = 0;  // the file's format version (1 knows no record sets in columns)
  // Set when typed cells are to be checked where they are first read (a file
  // of version 3 loaded that way): record sets in columns leave their cells
  // unchecked, hand this to their stores, and add where their columns and
  // texts lie (from, to; offsets in the content) to lateRanges.
  std::shared_ptr<const ColumnStore::LoadedBytes> lateCheck;
  std::vector<std::pair<size_t, size_t>>* lateRanges = nullptr;
};

// Appends the entries of dict. Raises AutomationError (32755) for a value that
// cannot be saved.
void encodeDictionaryBody(ByteWriter& out, const Dictionary& dict, int depth);

// Reads entries into into (empty). False at the first fault, including any error
// a record set raises while it is filled.
// in reads the content that starts at memory.start.
bool decodeDictionaryBody(ByteReader& in, const ContentMemory& memory, Dictionary& into, int depth);

}  // namespace wayfind::platform::fileformat
