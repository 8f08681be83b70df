// The three module globals through which every routine reaches the host, and
// readers for the words of the host's global control block.
#pragma once

#include <cstdint>

struct QX_HNDL_S;
using QXHndlp = QX_HNDL_S*;

using HostWord = std::uint64_t;

extern HostWord* v_global_gcb_anchor;  // the host's global control block
extern void* v_global_pidb_anchor;     // per-invocation block, kept, not read
extern QXHndlp Exported_QXHandle;      // kernel-library handle (word 82)

// Words of the global control block the module reads.
namespace gcb {
inline constexpr int kServiceTables = 0;
inline constexpr int kServiceBytes = 1;
inline constexpr int kTaskAnchor = 4;
inline constexpr int kTaskPool = 5;
inline constexpr int kUpcaseTable = 6;
inline constexpr int kNlsRecord = 13;
inline constexpr int kStepPool = 19;
inline constexpr int kTranslateTables = 27;
inline constexpr int kTaskHandle = 56;
inline constexpr int kQXHandle = 82;
inline constexpr int kAlternateAnchoring = 95;
inline constexpr int kWords = 128;
}  // namespace gcb

// Task record words.
namespace task {
inline constexpr int kContext = 4;
inline constexpr int kProcStr = 20;
inline constexpr int kPrintFile = 34;
inline constexpr int kTitleTable = 40;  // the title table of the listing printers
inline constexpr int kFormatEnv = 41;   // the `reb` handed to `zfmt`
inline constexpr int kSymbolTable = 36;  // the task's macro-variable scope
inline constexpr int kWords = 64;
}  // namespace task

template <class T = void>
inline T* gcb_pointer(int word) {
  return reinterpret_cast<T*>(v_global_gcb_anchor[word]);
}

// The step's task record: word 10 of the block found at word 9 of the task
// anchor block (control-block word 4).
inline HostWord* task_record() {
  auto* anchor = gcb_pointer<HostWord>(gcb::kTaskAnchor);
  auto* block = reinterpret_cast<HostWord*>(anchor[9]);
  return reinterpret_cast<HostWord*>(block[10]);
}

// The procedure-context word of the task record, where the step driver keeps
// its context for routines that are handed neither it nor a user pointer.
inline void* procedure_context() {
  return reinterpret_cast<void*>(task_record()[task::kContext]);
}

// The memory pools of the control block.
inline void* step_pool() { return gcb_pointer(gcb::kStepPool); }
inline void* task_pool() { return gcb_pointer(gcb::kTaskPool); }
