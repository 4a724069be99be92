// The host's queries on the navigation store: the tree levels (each a new record
// set with the user's rows merged over the template rows available for the
// current account type), questions about single nodes, and the settings and
// account-type lookups. Every query that reads the tables loads them first when a
// slot is empty; failures reach the caller except where noted.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/containers/dictionary.h"
#include "platform/recordset/large_memory.h"
#include "platform/recordset/recordset.h"
#include "store/merge.h"

namespace wayfind::store {

using platform::DictionaryPtr;
using platform::RecordsetPtr;

// ---- tree queries; "_All" variants keep invisible nodes ----
RecordsetPtr GetTopClass();
RecordsetPtr GetTopClass_All();
RecordsetPtr GetSubSystem(int32_t lTopClassID);
// lTopClassID < 0: every top class. With IsBOSQuery the user's rows are left out.
RecordsetPtr GetSubSystem_All(int32_t lTopClassID);
RecordsetPtr GetSubFunc(int32_t lSubSysID);
// lSubSysID < 0: every subsystem.
RecordsetPtr GetSubFunc_All(int32_t lSubSysID);
RecordsetPtr GetDetailFunc(int32_t lSubFuncID);
RecordsetPtr GetDetailFunc_All(int32_t lSubFuncID);
// The detail functions of many sub-functions, each sub-function's the rows
// GetDetailFunc answers for it (the same values in the same order), read
// without a record set of its own for each: a row is read where it lies in the
// template's table unless a user's row changed it. The tables are read whole
// once, a few passes, then the sub-functions are merged a few at a time; step()
// does one piece of this and answers true when every sub-function is read. No
// table's filter is relied on from one step to the next, so other queries may
// run in between. Failures reach the caller as GetDetailFunc's do.
class DetailFuncReader {
 public:
  explicit DetailFuncReader(std::vector<int32_t> subFuncIds);
  bool step();
  // The template's table whose rows are read in place (none when every
  // sub-function was asked for alone).
  const platform::Recordset* templateTable() const { return direct_ ? nullptr : templ_.get(); }
  // The i-th sub-function's rows, once step() has answered true; each stored
  // row is read with its record set's storedCell or storedValue.
  std::span<const StoredRow> rows(size_t i) const {
    const size_t from = i == 0 ? 0 : ends_[i - 1];
    return std::span<const StoredRow>(rows_).subspan(from, ends_[i] - from);
  }

 private:
  // Stored rows under each sub-function asked for, in the view's order.
  struct Grouped {
    std::vector<uint32_t> rows;
    std::vector<uint32_t> ends;
    std::span<const uint32_t> of(size_t i) const {
      const size_t from = i == 0 ? 0 : ends[i - 1];
      return std::span<const uint32_t>(rows).subspan(from, ends[i] - from);
    }
  };
  void collect(const platform::Recordset& rs, int parent, uint32_t row);
  Grouped group();
  void findCopies();
  bool copyColumns();
  void add(size_t i);
  void askQuery(int32_t lSubFuncID);
  void finish();

  std::vector<int32_t> ids_;
  std::vector<uint32_t> first_;  // the first place of each sub-function's id among ids_
  int phase_ = 0;
  size_t next_ = 0;
  int32_t code_ = 0;
  bool bos_ = false;
  bool direct_ = false;      // every sub-function through GetDetailFunc
  RecordsetPtr templ_, user_, merged_;
  Grouped templateRows_, userRows_;
  size_t templateRowCount_ = 0;
  std::vector<bool> visible_;        // by the template's stored row
  std::unordered_map<int32_t, uint32_t> indexOf_;       // a sub-function's first place in ids_
  std::vector<std::pair<uint32_t, uint32_t>> found_;  // (place in ids_, stored row) being collected
  std::vector<uint32_t> scratchRows_, visibleRows_;
  // The template rows the user's rows touch, copied into merged_ all at once,
  // column by column, before the merging takes them (a piece of rows a step).
  CopiedRows copies_;
  size_t copiedRows_ = 0;  // of copies_, copied into merged_
  std::vector<RecordsetPtr> asked_;  // the answers of the sub-functions asked alone
  platform::LargeVector<StoredRow> rows_;
  std::vector<size_t> ends_;
  std::vector<StoredRow> scratch_;
};

// One detail function; no row when it is reserved to another account type.
RecordsetPtr GetDetailFuncInfo(int32_t lDetailFuncID);

// ---- node questions ----
// lType 2 = subsystem, 3 = sub-function. oDict receives the node's row when it
// exists (replaced by a new dictionary).
bool IsRefresh(int32_t lID, int32_t lType, DictionaryPtr& oDict);
bool IsRefreshNode(int32_t lID, int32_t lType);
bool IsSetEnable(int32_t lID, DictionaryPtr& oDict);
bool GetSubSystemInfo(int32_t lID, DictionaryPtr& oDict);

// ---- account types and settings ----
// The template AcctType table itself, filtered to live rows of one code (0 = all).
RecordsetPtr GetAcctInfo(int32_t lngAcctType);
// These four never fail: any error gives empty text.
std::string GetAcctShowName(const std::string& strName);
std::string GetProfileValue(const std::string& strName);
std::string GetSubSysClass(int32_t lID, int32_t lType);
std::string GetSubSysName(int32_t lFDetailFuncID);

// A new dictionary with one entry per field of the record set's current row.
DictionaryPtr RowToDictionary(const RecordsetPtr& rs);

}  // namespace wayfind::store
