// Classification of the ADO field type codes the record set understands.
#include "platform/recordset/field.h"

namespace wayfind::platform {

bool isKnownDataType(int32_t code) {
  switch (static_cast<DataType>(code)) {
    case DataType::SmallInt:
    case DataType::Integer:
    case DataType::Double:
    case DataType::Currency:
    case DataType::Date:
    case DataType::Boolean:
    case DataType::Variant:
    case DataType::BigInt:
    case DataType::VarWChar:
    case DataType::LongVarWChar:
      return true;
  }
  return false;
}

bool isTextType(DataType t) { return t == DataType::VarWChar || t == DataType::LongVarWChar; }

bool isIntegerType(DataType t) {
  return t == DataType::SmallInt || t == DataType::Integer || t == DataType::BigInt;
}

}  // namespace wayfind::platform
