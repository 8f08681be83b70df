// xinit: the step's PROCSTR and the parser's debug switches from DEBUG.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/globals.h"
#include "host/pool.h"
#include "host/parse_print_record.h"
#include "support/host_fixture.h"

namespace {

// A watch on the task pool: counts allocations and releases, and delivers
// the PROCSTR filled with a marker so that untouched fields can be seen.
constexpr unsigned char kMarker = 0x5A;
struct PoolWatch {
  PoolAllocFn alloc = nullptr;
  PoolFreeFn free = nullptr;
  int allocations = 0, releases = 0;
  long last_length = 0, freed_length = 0, freed_flags = 0;
  int syndebug = 0, semdebug = 0;  // the switches xinit set
};
PoolWatch g_watch;

void* watched_alloc(void* pool, long length, long flags) {
  ++g_watch.allocations;
  g_watch.last_length = length;
  void* block = g_watch.alloc(pool, length, flags);
  if (block && length == static_cast<long>(sizeof(PROCSTR))) std::memset(block, kMarker, length);
  return block;
}

void watched_free(void* pool, void* block, long length, long flags) {
  ++g_watch.releases;
  g_watch.freed_length = length;
  g_watch.freed_flags = flags;
  g_watch.free(pool, block, length, flags);
}

void run_xinit() {
  auto** words = static_cast<void**>(task_pool());
  g_watch = {};
  g_watch.alloc = reinterpret_cast<PoolAllocFn>(words[0]);
  g_watch.free = reinterpret_cast<PoolFreeFn>(words[1]);
  words[0] = reinterpret_cast<void*>(&watched_alloc);
  words[1] = reinterpret_cast<void*>(&watched_free);
  xinit();
  words[0] = reinterpret_cast<void*>(g_watch.alloc);
  words[1] = reinterpret_cast<void*>(g_watch.free);
  g_watch.syndebug = current_procstr()->proc_syndebug;
  g_watch.semdebug = current_procstr()->proc_semdebug;
}

class XinitTest : public HostTest {
 protected:
  PoolWatch run_with_debug(const std::string& text) {
    EXPECT_TRUE(host().options().set("DEBUG=" + text));
    EXPECT_EQ(run_as_step(&run_xinit), 0);
    return g_watch;
  }
};

TEST_F(XinitTest, ShortDebugTextUsesTheLocalBufferAndLongTextPoolMemory) {
  // 200 characters: only the PROCSTR comes from the pool.
  PoolWatch at_limit = run_with_debug(std::string(197, 'x') + "SYN");
  EXPECT_EQ(at_limit.allocations, 1);
  EXPECT_EQ(at_limit.releases, 0);
  EXPECT_EQ(at_limit.syndebug, 1);
  EXPECT_EQ(at_limit.semdebug, 0);
  // 201 characters: a work buffer of that length is taken and given back,
  // with the length unknown (-1) and release flags 4.
  PoolWatch over = run_with_debug(std::string(198, 'x') + "SEM");
  EXPECT_EQ(over.allocations, 2);
  EXPECT_EQ(over.last_length, 201);
  EXPECT_EQ(over.releases, 1);
  EXPECT_EQ(over.freed_length, -1);
  EXPECT_EQ(over.freed_flags, 4);
  EXPECT_EQ(over.syndebug, 0);
  EXPECT_EQ(over.semdebug, 1);
}

TEST_F(XinitTest, DebugWordsAreFoundWhateverTheirCase) {
  struct Case { std::string text; int syn, sem; };
  const Case cases[] = {{"trace,syn", 1, 0}, {" Sem sYn ", 1, 1}, {"SY N", 0, 0},
                        // Blank or empty: the bytes stay as allocated.
                        {"", kMarker, kMarker}, {"     ", kMarker, kMarker}};
  for (const Case& c : cases) {
    PoolWatch w = run_with_debug(c.text);
    EXPECT_EQ(w.syndebug, c.syn) << '"' << c.text << '"';
    EXPECT_EQ(w.semdebug, c.sem) << '"' << c.text << '"';
  }
}

TEST_F(XinitTest, ProcstrIsStoredInTheTaskRecordWithItsLineRecords) {
  EXPECT_EQ(run_as_step([] {
              xinit();
              PROCSTR* ps = current_procstr();
              ASSERT_NE(ps, nullptr);
              EXPECT_EQ(reinterpret_cast<HostWord>(ps), task_record()[task::kProcStr]);
              EXPECT_NE(ps->proc_outl, nullptr);
              EXPECT_NE(ps->proc_prnl, nullptr);
              EXPECT_NE(ps->proc_logl, nullptr);
            }),
            0);
}

}  // namespace
