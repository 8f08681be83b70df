// Every member of the kernel request family against the contract of its
// request: the code, the flags, the block (or the single argument) it sends,
// and what it gives back. A stand-in ConfigureSystem copies the block it is
// handed, answers with a failing status and, where a member reads a result
// back, leaves a marker in the result word.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/kernel_requests.h"
#include "support/host_fixture.h"

namespace {

constexpr QXStatus kAnswer = static_cast<QXStatus>(0x803FC004u);
constexpr std::uint64_t kMarker = 0x5EED5EEDu;  // written as 32 bits over a zero preset
constexpr std::uint64_t kNothing = ~0ull;  // the member returns nothing to check

// One field of a block; `bits` 32 compares the low half of its word only,
// 0 not at all (a word the member leaves unset).
struct Field {
  std::uint64_t value;
  int bits = 64;
};

struct Seen {
  int code = -1;
  const void* block = nullptr;
  std::uint32_t flags = 0;
  const QX_HNDL_S* handle = nullptr;
  std::size_t copy_bytes = 0;  // how much of the block to read
  int result_word = -1;
  std::uint64_t words[8] = {};
} g_seen;

QXStatus fake_configure(int code, void* block, std::uint32_t flags, QX_HNDL_S* handle) {
  g_seen.code = code;
  g_seen.block = block;
  g_seen.flags = flags;
  g_seen.handle = handle;
  if (g_seen.copy_bytes) std::memcpy(g_seen.words, block, g_seen.copy_bytes);
  if (g_seen.result_word >= 0) {
    const auto marker = static_cast<std::uint32_t>(kMarker);
    std::memcpy(static_cast<std::uint64_t*>(block) + g_seen.result_word, &marker, sizeof marker);
  }
  if (code == 16) {  // the clock: two readings
    static_cast<double*>(block)[0] = 5.5;
    static_cast<double*>(block)[1] = 2.0;
  }
  return kAnswer;
}

char g_marks[16];
void* P(int i) { return g_marks + i; }
std::uint64_t W(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }
std::uint64_t S(QXStatus s) { return static_cast<std::uint32_t>(s); }
std::uint64_t D(double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return bits;
}

struct Case {
  const char* member;
  int code;
  std::function<std::uint64_t()> call;
  std::uint64_t expected;          // the member's result
  std::vector<Field> block = {};   // the record sent; empty: `argument` is sent as it is
  const void* argument = nullptr;
  int result_word = -1;            // the word the member reads back
  std::uint32_t flags = kQXRequestFlags;
};

#define CALL(expr) [] { return static_cast<std::uint64_t>(expr); }
#define CALLV(expr) [] { return (expr), kNothing; }

const QXChar kName[] = {'m', 0};
const char kExpr[] = "n > 0";
const char kFile[] = "sweep.c";
QXZ_Stats_Info g_stats;

const std::vector<Case> kCases = {
    {"qxtConfigureSignals", 0, CALL(S(qxtConfigureSignals(P(0), 4))), S(kAnswer), {}, P(0), -1, kQXRequestFlags | 4},
    {"qxtInitializeQXSignalHandlers", 1, CALL(S(qxtInitializeQXSignalHandlers())), 0},
    {"qxbStartQXAT", 3, CALL(S(qxbStartQXAT(P(1), 2))), S(kAnswer), {}, P(1), -1, kQXRequestFlags | 2},
    {"qxbLogStatMessage", 4, CALL(S(qxbLogStatMessage(P(2), 8))), S(kAnswer), {}, P(2), -1, kQXRequestFlags | 8},
    {"qxbProcessQXATcommand", 5, CALL(S(qxbProcessQXATcommand(P(3), 1))), S(kAnswer), {}, P(3), -1, kQXRequestFlags | 1},
    {"qxbProcessQXATrequest", 6, CALL(S(qxbProcessQXATrequest(P(4), 16))), S(kAnswer), {}, P(4), -1, kQXRequestFlags | 16},
    {"qxzSetSupVerNum", 7, CALL(S(qxzSetSupVerNum(P(5), 32))), S(kAnswer), {}, P(5), -1, kQXRequestFlags | 32},
    {"qxzstats", 8, CALL(S(qxzstats(&g_stats))), S(kAnswer), {}, &g_stats},
    {"qxzSetDefaultLocale", 9, CALL(S(qxzSetDefaultLocale(P(6)))), S(kAnswer), {}, P(6)},
    {"qxzGetIOCount", 10, CALL(S(qxzGetIOCount(P(7)))), S(kAnswer), {}, P(7)},
    {"qxlSetLogLoc", 11, CALL(S(qxlSetLogLoc(P(8)))), S(kAnswer), {}, P(8)},
    {"qxbLogTraceMessage", 12, CALL(S(qxbLogTraceMessage(P(1), P(2), 9))), S(kAnswer), {{W(P(1))}, {W(P(2))}, {9, 32}}},
    {"qxModuleLoadp", 13, CALL(W(qxModuleLoadp(kName, 1, 3, nullptr))), kMarker,
     {{W(kName)}, {1}, {3, 32}, {0}, {0}}, nullptr, 4},
    {"qxzdttme", 16, CALL(qxzdttme() == 3.5), 1, {}, nullptr, -1, kQXClockRequestFlags},
    {"qxexit", 17, CALLV(qxexit(-3)), kNothing, {}, reinterpret_cast<void*>(std::intptr_t{-3})},
    {"qxzSetEncodings", 19, CALL(S(qxzSetEncodings())), S(kAnswer)},
    {"skSetAttentionNotify", 20, CALLV(skSetAttentionNotify(P(9))), kNothing, {}, P(9)},
    {"qxatnenq", 21, CALL(S(qxatnenq(P(10)))), S(kAnswer), {}, P(10)},
    {"qxatndeq", 22, CALL(W(qxatndeq())), kMarker, {{0}}, nullptr, 0},
    {"qxtChangeMethods", 24, CALL(S(qxtChangeMethods(P(11)))), S(kAnswer), {}, P(11)},
    {"qxtGetExcSupport", 25, CALL(S(qxtGetExcSupport(P(12)))), S(kAnswer), {}, P(12)},
    {"qxtResetMethods", 26, CALL(S(qxtResetMethods())), S(kAnswer)},
    {"qxtSetAsyncThreadId", 27, CALL(S(qxtSetAsyncThreadId(P(13)))), S(kAnswer), {}, P(13)},
    {"qxtClearAsyncThreadid", 28, CALL(S(qxtClearAsyncThreadid())), S(kAnswer)},
    {"qxtSetSignalHandlers", 29, CALL(S(qxtSetSignalHandlers(P(14)))), S(kAnswer), {}, P(14)},
    {"qxtClearSignalHandlers", 30, CALL(S(qxtClearSignalHandlers())), S(kAnswer)},
    {"bktThreadInit", 31, CALL(S(bktThreadInit(P(15)))), S(kAnswer), {}, P(15)},
    {"bktSetupThreadStackGuar", 32, CALLV(bktSetupThreadStackGuar()), kNothing},
    {"bktRestoreStackWindows", 33, CALL(bktRestoreStackWindows()), kMarker, {{0, 32}}, nullptr, 0},
    {"qxbEnableRtrace", 34, CALL(S(qxbEnableRtrace(6, P(1)))), S(kAnswer), {{6, 32}, {W(P(1))}}},
    {"qxbDisableRtrace", 35, CALL(S(qxbDisableRtrace(7, P(2)))), S(kAnswer), {{7, 32}, {W(P(2))}}},
    {"qxLogRtraceEntry", 36, CALLV(qxLogRtraceEntry(7, P(3), P(4), 5)), kNothing,
     {{0}, {W(P(3))}, {W(P(4))}, {5 | std::uint64_t{7} << 32}}},
    {"qxSetExternalRtrace", 37, CALLV(qxSetExternalRtrace(P(5))), kNothing, {}, P(5)},
    {"qxbRtraceReleaseEntry", 38, CALLV(qxbRtraceReleaseEntry(P(6))), kNothing, {}, P(6)},
    {"qxAddAbortCallback", 39, CALL(W(qxAddAbortCallback(P(7), P(8), 3))), kMarker,
     {{0}, {W(P(7))}, {W(P(8))}, {3, 32}}, nullptr, 0},
    {"qxRemoveAbortCallback", 40, CALL(S(qxRemoveAbortCallback(P(9)))), S(kAnswer), {}, P(9)},
    {"qxInvokeAbortCallbacks", 41, CALL(S(qxInvokeAbortCallbacks(P(10)))), S(kAnswer), {}, P(10)},
    {"qxSetExtendedPaths", 42, CALL(S(qxSetExtendedPaths(P(11), P(12), 2, 4))), S(kAnswer),
     {{W(P(11))}, {W(P(12))}, {2 | std::uint64_t{4} << 32}}},
    {"qxtSaveFPControl", 43, CALL(S(qxtSaveFPControl(P(13)))), S(kAnswer), {}, P(13)},
    {"qxtRestoreFPControl", 44, CALL(S(qxtRestoreFPControl(P(14)))), S(kAnswer), {}, P(14)},
    {"qxtMaskAllFPExceptions", 45, CALL(S(qxtMaskAllFPExceptions())), S(kAnswer)},
    {"qxmSetRealMemsize", 47, CALL(S(qxmSetRealMemsize(1u << 20))), S(kAnswer), {{D(1 << 20)}, {0, 32}}},
    {"qxtSetPthreadId", 48, CALL(S(qxtSetPthreadId())), S(kAnswer)},
    {"qxbSetIsNative", 49, CALLV(qxbSetIsNative()), kNothing},
    {"qxbClearIsNative", 50, CALLV(qxbClearIsNative()), kNothing},
    {"qxzGetShortVer", 51, CALL(S(qxzGetShortVer(P(1), static_cast<char*>(P(2)), 8, static_cast<char*>(P(3)), 9))),
     S(kAnswer), {{W(P(1))}, {W(P(2))}, {8}, {W(P(3))}, {9}}},
    {"qxGetOSPath", 52, CALL(W(qxGetOSPath(5))), kMarker, {{0}, {5, 32}}, nullptr, 0},
    {"qxReleaseOSPath", 53, CALLV(qxReleaseOSPath(static_cast<char*>(P(4)))), kNothing, {{W(P(4))}, {0, 32}}},
    {"skassert", 54, CALL(S(skassert(kExpr, kFile, 12, 1))), S(kAnswer), {{W(kExpr)}, {W(kFile)}, {12}, {1, 32}}},
    {"qxbRegisterPerfmon", 55, CALLV(qxbRegisterPerfmon(P(5))), kNothing, {}, P(5)},
    {"qxzPushTrackResourceHandler", 57, CALL(W(qxzPushTrackResourceHandler(P(6), P(7), -2))), kMarker,
     {{W(P(6))}, {W(P(7))}, {static_cast<std::uint64_t>(-2)}, {0, 0}, {0}}, nullptr, 4},
    {"qxzPopTrackResourceHandler", 58, CALL(S(qxzPopTrackResourceHandler(P(8), 3))), S(kAnswer), {{W(P(8))}, {3}}},
    {"qxzResourceChange", 59, CALL(S(qxzResourceChange(1, 2, 3))), S(kAnswer), {{1}, {2}, {3}}},
    {"qxzGetCurrRootAddr", 60, CALL(W(qxzGetCurrRootAddr())), kMarker, {{0}}, nullptr, 0},
    {"qxzSetCurrRootCB", 61, CALLV(qxzSetCurrRootCB(P(9))), kNothing, {}, P(9)},
    {"qxsFindLoadlibs", 62, CALL(S(qxsFindLoadlibs(P(10), P(11)))), S(kAnswer), {{W(P(10))}, {W(P(11))}}},
};

class RequestBlockTest : public HostTest {
 protected:
  void SetUp() override {
    saved_ = Exported_QXHandle->ConfigureSystem;
    Exported_QXHandle->ConfigureSystem = &fake_configure;
  }
  void TearDown() override { Exported_QXHandle->ConfigureSystem = saved_; }
  decltype(QX_HNDL_S::ConfigureSystem) saved_ = nullptr;
};

TEST_F(RequestBlockTest, EveryMemberSendsItsCodeFlagsAndBlock) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.member);
    g_seen = {};
    if (!c.block.empty()) g_seen.copy_bytes = 8 * (c.block.size() - 1) + (c.block.back().bits == 32 ? 4 : 8);
    g_seen.result_word = c.result_word;
    const std::uint64_t result = c.call();
    EXPECT_EQ(g_seen.code, c.code);
    EXPECT_EQ(g_seen.flags, c.flags);
    EXPECT_EQ(g_seen.handle, Exported_QXHandle);
    if (c.expected != kNothing) {
      EXPECT_EQ(result, c.expected);
    }
    if (c.code == 16) continue;  // the clock's block is its own two readings
    if (c.block.empty()) {
      EXPECT_EQ(g_seen.block, c.argument);
      continue;
    }
    for (std::size_t k = 0; k < c.block.size(); ++k) {
      const std::uint64_t mask = c.block[k].bits == 64 ? ~0ull : c.block[k].bits == 32 ? 0xFFFFFFFFull : 0;
      EXPECT_EQ(g_seen.words[k] & mask, c.block[k].value & mask) << "word " << k;
    }
  }
}

// The one member that sends nothing: the session's default locale.
TEST_F(RequestBlockTest, TheDefaultLocaleIsTheSessions) {
  ASSERT_NE(Exported_QXHandle->sknls_global, nullptr);
  EXPECT_EQ(qxzGetDefLocale(), Exported_QXHandle->sknls_global->Localeh);
}

}  // namespace
