// The message gate: thresholds, severity overrides and the countdowns kept
// in named values.
#include "random/message_gate.h"

#include <gtest/gtest.h>

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "random/status_codes.h"
#include "random_support.h"

namespace {

using zrand_status::kMethodLabel;

class MessageGate : public RandomTest {
 protected:
  QXStatus send(int severity) {
    return zrngmsg(static_cast<QXSeverity>(severity), kMethodLabel, "GATE");
  }
  int shown(const std::string& prefix) {
    return rt::count(log_text(), prefix + "The random-number method \"GATE\" is ready.");
  }
};

TEST_F(MessageGate, ByDefaultOnlyErrorsAreWritten) {
  for (int severity = 0; severity <= 3; ++severity) EXPECT_EQ(send(severity), 0);
  EXPECT_EQ(log_text(), "");
  EXPECT_EQ(send(QXSeverityError), 0);  // the journal's status
  EXPECT_EQ(shown("ERROR: "), 1);
}

TEST_F(MessageGate, ThresholdAndSeverityComeFromNamedValues) {
  rt::set_text("OSENV.KOV_RNG_MESSAGES", "NOTE");
  send(QXSeverityNone);
  send(QXSeverityNote);
  send(QXSeverityWarning);
  EXPECT_EQ(shown("NOTE: "), 1);
  EXPECT_EQ(shown("WARNING: "), 1);
  rt::set_text("OSENV.KOV_RNG_SEVERITY", "WARN");  // information notes raised to warnings
  send(QXSeverityNone);
  EXPECT_EQ(shown("WARNING: "), 2);
  rt::set_text("OSENV.KOV_RNG_SEVERITY", "");
  rt::set_text("OSENV.KOV_RNG_MESSAGES", "ALL");  // information notes are written as notes
  send(QXSeverityNull);
  EXPECT_EQ(shown("NOTE: "), 2);
  rt::set_text("OSENV.KOV_RNG_MESSAGES", "NONE");
  send(QXSeverityError);
  EXPECT_EQ(shown("ERROR: "), 0);
}

// The keyword lookup trims and upper-cases the value before comparing.
TEST_F(MessageGate, KeywordsMatchWhateverTheirCase) {
  rt::set_text("OSENV.KOV_RNG_MESSAGES", " note ");
  send(QXSeverityNote);
  EXPECT_EQ(shown("NOTE: "), 1);
  rt::set_text("OSENV.KOV_RNG_MESSAGES", "LOUD");  // not a keyword: reported, default used
  send(QXSeverityWarning);
  EXPECT_EQ(shown("WARNING: "), 0);
  EXPECT_EQ(rt::count(log_text(), "'LOUD' of the named value OSENV.KOV_RNG_MESSAGES is not one"),
            1);
}

TEST_F(MessageGate, CountdownsStopNotesAndErrors) {
  for (int i = 0; i < 102; ++i) send(QXSeverityError);
  EXPECT_EQ(shown("ERROR: "), 101);  // 100, 99, ..., 0 are shown; -1 is not
  rt::set_text("OSENV.KOV_RNG_MESSAGES", "NOTE");
  rt::set_number("OSENV.KOV_RNG_NOTE_LIMIT", 3);
  for (int i = 0; i < 6; ++i) send(QXSeverityNote);
  EXPECT_EQ(shown("NOTE: "), 3);
  EXPECT_EQ(rt::count(log_text(), "The countdown OSENV.KOV_RNG_NOTE_LIMIT has reached its end"), 1);
  send(QXSeverityWarning);  // warnings count with errors, already spent
  EXPECT_EQ(shown("WARNING: "), 0);
}

TEST_F(MessageGate, NothingIsWrittenWithoutAJournal) {
  QXJnlh saved = Exported_QXHandle->qxjnl;
  Exported_QXHandle->qxjnl = nullptr;
  EXPECT_EQ(send(QXSeverityError), 0);
  Exported_QXHandle->qxjnl = saved;
  EXPECT_EQ(log_text(), "");
}

}  // namespace
