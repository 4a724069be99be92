// Many rows into one table with few statements: rows are gathered and sent
// many to a statement (on SQLite INSERT ... VALUES (...), (...), ...; on
// PostgreSQL one array per column, INSERT ... SELECT * FROM unnest(...)), so
// that a big import costs few round trips and holds its locks briefly.
//
//   storage::BulkInsert ins(conn, "t_NavUserProfile", {"FUserID", "FName", "FValue"});
//   for (...) ins.add({Variant(user), Variant(name), Variant(value)});
//   ins.finish();  // sends what is left; the destructor sends nothing
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "erp/storage/connection.h"

namespace wayfind::erp::storage {

class BulkInsert {
 public:
  BulkInsert(Connection& conn, std::string table, std::vector<std::string> columns);
  // One row, its values in the columns' order.
  void add(std::vector<platform::Variant> values);
  void finish();
  size_t rowsPerStatement() const { return perStatement_; }

 private:
  void send(size_t rows);
  std::string statementFor(size_t rows) const;

  Connection& conn_;
  std::string table_;
  std::vector<std::string> columns_;
  size_t perStatement_;
  std::vector<std::string> serverTypes_;  // PostgreSQL: the columns' types
  std::vector<platform::Variant> pending_;
  std::optional<Statement> full_;  // prepared once for a full batch
};

// Calls fn for ids in slices of at most sliceSize, with the "?, ?, ..." text of
// as many parameters: for "... WHERE id IN (" + marks + ")" queries that look
// many identifiers up with one statement each slice, on an index.
void forEachSlice(const std::vector<int32_t>& ids, size_t sliceSize,
                  const std::function<void(const std::vector<int32_t>& slice, const std::string& marks)>& fn);

}  // namespace wayfind::erp::storage
