// Dictionaries for the file tests: one with a record set of every field type
// (with metadata, Null and empty text), nested dictionaries and vectors, and
// Chinese text; small enough to corrupt byte by byte.
#pragma once

#include "platform/containers/dictionary.h"
#include "platform/recordset/recordset.h"

namespace wayfind::platform::testing {

RecordsetPtr makeEveryTypeRecordset();
DictionaryPtr makeSampleDictionary();

}  // namespace wayfind::platform::testing
