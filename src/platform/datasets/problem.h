// A numbered message of the host's set 1 with its inserts, all texts:
// what the data-set code hands back when it cannot do what was asked.
#pragma once

#include <string>
#include <vector>

namespace platform::ds {

struct Problem {
  int number = 0;  // 0: no problem
  std::vector<std::string> inserts;

  explicit operator bool() const { return number != 0; }
};

// Writes the problem's message to the log.
void log_problem(const Problem& problem);

// Message numbers of the data-set blocks of set 1.
namespace msg {
inline constexpr int kCharacterFromCell = 30;
inline constexpr int kCharacterDescribed = 31;
inline constexpr int kCharacterComputed = 32;
inline constexpr int kCaseClash = 33;
inline constexpr int kNoObservations = 34;
inline constexpr int kNoneSatisfyWhere = 35;
inline constexpr int kStepFailedNotWritten = 36;
inline constexpr int kInputReplaced = 37;
inline constexpr int kRowNames = 38;
inline constexpr int kRowNamesAsNumber = 39;
inline constexpr int kCannotRead = 200;
inline constexpr int kFieldCount = 201;
inline constexpr int kUnclosedQuote = 202;
inline constexpr int kTextAfterQuote = 203;
inline constexpr int kQuoteInField = 204;
inline constexpr int kNoHeader = 205;
inline constexpr int kBadColumnName = 206;
inline constexpr int kColumnTwice = 207;
inline constexpr int kNumberTooLarge = 208;
inline constexpr int kNotANumber = 209;
inline constexpr int kValueTooLong = 210;
inline constexpr int kBadDescription = 211;
inline constexpr int kDescribedNotInData = 212;
inline constexpr int kNotSorted = 213;
inline constexpr int kByVariableMissing = 214;
inline constexpr int kByVariableType = 215;
inline constexpr int kReadFailed = 216;
inline constexpr int kWriteFailed = 217;
inline constexpr int kNotWritten = 218;
inline constexpr int kWritten = 219;
inline constexpr int kCannotDefine = 220;
inline constexpr int kOutputTwice = 221;
inline constexpr int kNoVariable = 222;
inline constexpr int kOlderDescription = 223;
inline constexpr int kWaitsForLock = 224;
inline constexpr int kNoDescription = 225;
inline constexpr int kForeignDescription = 226;
inline constexpr int kPassesByFolderLock = 227;
inline constexpr int kRunsNotKeptApart = 228;
inline constexpr int kOneFileTwice = 229;
}  // namespace msg

}  // namespace platform::ds
