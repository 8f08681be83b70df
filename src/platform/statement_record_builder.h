// Turns parsed procedure statements into the host's STMT records, in pool
// memory: option bits, option fields, name lists in the host name-list
// format that `zgetnmr` reads, and data-set names.
#pragma once

#include <string>
#include <vector>

#include "host/statement_records.h"
#include "platform/language/proc_statement.h"
#include "platform/pool.h"

namespace platform {

class DataSets;

enum class RecordsResult {
  Ok,
  NoRoom,         // the pool ran out of room
  DataSetFailed,  // a data set could not be opened (the data-set layer said why)
};

// The records in statement order, linked, in `head` (null for an empty
// list). The data sets the statements name are opened, for reading or for
// writing (a PROFDATA= data set that several PROFILE statements name,
// once), and the DATA= data set gets the BY statement's variables.
RecordsResult build_stmt_records(const std::vector<language::ProcStatement>& statements, Pool& pool,
                                 DataSets& data_sets, STMT** head);

// A host name list of the names, in one block; null when the pool has no room.
void* build_name_list(const std::vector<std::string>& names, Pool& pool);

}  // namespace platform
