#include "erp/storage/bulk_insert.h"

#include <algorithm>
#include <cstdio>

#include "erp/storage/storage_error.h"
#include "platform/automation/conversions.h"

namespace wayfind::erp::storage {

namespace {
// SQLite: rows as VALUES lists, this many parameters to a statement at most
// (SQLite takes 32,766), prepared once and used again for every full batch.
constexpr size_t kParametersPerStatement = 8000;
constexpr size_t kMaxRowsPerStatement = 500;
// PostgreSQL: one array per column, unnested by the server, this many rows to
// a statement: the parameters are few whatever the rows, and the server reads
// an array far faster than thousands of parameters.
constexpr size_t kRowsPerServerStatement = 5000;

std::string marksFor(size_t n) {
  std::string marks;
  marks.reserve(n * 3);
  for (size_t i = 0; i < n; ++i) marks += i ? ", ?" : "?";
  return marks;
}

// A value as the server reads it in an array: NULL, a number, or a quoted text.
void appendArrayElement(std::string& out, const platform::Variant& v) {
  using platform::VarType;
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Null: out += "NULL"; return;
    case VarType::Boolean: out += v.asBool() ? "-1" : "0"; return;
    case VarType::Integer: out += std::to_string(v.asInteger()); return;
    case VarType::Long: out += std::to_string(v.asLong()); return;
    case VarType::LongLong: out += std::to_string(v.asLongLong()); return;
    case VarType::Double:
    case VarType::Date: {
      out += platform::exactNumberText(v.type() == VarType::Double ? v.asDouble() : v.asDate().serial);
      return;
    }
    case VarType::String:
      out += '"';
      for (char c : v.asString()) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
      }
      out += '"';
      return;
    case VarType::Object: break;
  }
  raiseRefused(kStorageSource, "对象不能作为数据库参数。");
}
}  // namespace

BulkInsert::BulkInsert(Connection& conn, std::string table, std::vector<std::string> columns)
    : conn_(conn), table_(std::move(table)), columns_(std::move(columns)) {
  if (conn_.backend() == Backend::PostgreSQL) {
    // The columns' types, for the arrays' casts.
    auto st = conn_.prepare(
        "SELECT a.attname, format_type(a.atttypid, NULL) FROM pg_attribute a "
        "WHERE a.attrelid = to_regclass(?) AND a.attnum > 0 AND NOT a.attisdropped");
    st.bind(1, table_);
    std::vector<std::pair<std::string, std::string>> known;
    while (st.step()) known.emplace_back(st.text(0), st.text(1));
    for (const auto& c : columns_) {
      auto it = std::find_if(known.begin(), known.end(),
                             [&](const auto& k) { return platform::iequals(k.first, c); });
      if (it == known.end()) raiseDatabaseError("无法批量写入 " + table_, "没有列 " + c);
      serverTypes_.push_back(it->second);
    }
    perStatement_ = kRowsPerServerStatement;
  } else {
    perStatement_ = std::clamp<size_t>(kParametersPerStatement / std::max<size_t>(columns_.size(), 1), 1,
                                       kMaxRowsPerStatement);
  }
  pending_.reserve(std::min<size_t>(perStatement_, 512) * columns_.size());
}

std::string BulkInsert::statementFor(size_t rows) const {
  std::string cols;
  for (const auto& c : columns_) cols += (cols.empty() ? "" : ", ") + c;
  std::string sql = "INSERT INTO " + table_ + " (" + cols + ") ";
  if (!serverTypes_.empty()) {
    sql += "SELECT * FROM unnest(";
    for (size_t i = 0; i < serverTypes_.size(); ++i)
      sql += (i ? ", ?" : "?") + std::string("::") + serverTypes_[i] + "[]";
    return sql + ")";
  }
  const std::string one = std::string("(").append(marksFor(columns_.size())).append(")");
  sql += "VALUES ";
  sql.reserve(sql.size() + rows * (one.size() + 2));
  for (size_t r = 0; r < rows; ++r) {
    if (r) sql += ", ";
    sql += one;
  }
  return sql;
}

void BulkInsert::add(std::vector<platform::Variant> values) {
  for (auto& v : values) pending_.push_back(std::move(v));
  if (pending_.size() >= perStatement_ * columns_.size()) send(perStatement_);
}

void BulkInsert::finish() {
  if (!pending_.empty()) send(pending_.size() / columns_.size());
}

void BulkInsert::send(size_t rows) {
  std::optional<Statement> partial;
  Statement* st;
  if (rows == perStatement_ || !serverTypes_.empty()) {
    // The arrays' statement is the same for any number of rows.
    if (!full_) full_.emplace(conn_.prepare(statementFor(perStatement_)));
    full_->reset();
    st = &*full_;
  } else {
    partial.emplace(conn_.prepare(statementFor(rows)));
    st = &*partial;
  }
  if (!serverTypes_.empty()) {
    const size_t n = columns_.size();
    for (size_t c = 0; c < n; ++c) {
      std::string array = "{";
      for (size_t r = 0; r < rows; ++r) {
        if (r) array += ',';
        appendArrayElement(array, pending_[r * n + c]);
      }
      array += '}';
      st->bind(static_cast<int>(c + 1), array);
    }
  } else {
    for (size_t i = 0; i < pending_.size(); ++i) st->bind(static_cast<int>(i + 1), pending_[i]);
  }
  st->run();
  pending_.clear();
}

void forEachSlice(const std::vector<int32_t>& ids, size_t sliceSize,
                  const std::function<void(const std::vector<int32_t>& slice, const std::string& marks)>& fn) {
  std::vector<int32_t> slice;
  std::string fullMarks;
  for (size_t start = 0; start < ids.size(); start += sliceSize) {
    const size_t n = std::min(sliceSize, ids.size() - start);
    slice.assign(ids.begin() + static_cast<std::ptrdiff_t>(start), ids.begin() + static_cast<std::ptrdiff_t>(start + n));
    if (n == sliceSize && fullMarks.empty()) fullMarks = marksFor(n);
    fn(slice, n == sliceSize ? fullMarks : marksFor(n));
  }
}

}  // namespace wayfind::erp::storage
