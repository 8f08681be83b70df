// Numbers of the statement-language messages (set 305 of the catalogue).
#pragma once

namespace platform::language::msg {

inline constexpr int kSet = 305;
inline constexpr int kNotOneModel = 12;        // not exactly one MODEL dependent
inline constexpr int kUnclosedString = 700;
inline constexpr int kUnclosedComment = 701;
inline constexpr int kBadCharacter = 702;
inline constexpr int kNameTooLong = 703;
inline constexpr int kBadDateLiteral = 704;
inline constexpr int kBadNumber = 705;
inline constexpr int kBadMissing = 706;
inline constexpr int kExpected = 707;          // expected X, found Y
inline constexpr int kUnknownStatement = 708;
inline constexpr int kUnknownOption = 709;
inline constexpr int kOutOfRange = 710;        // option, value, range
inline constexpr int kRestrict = 711;
inline constexpr int kUnsupportedStatement = 712;
inline constexpr int kEndWithoutDo = 713;
inline constexpr int kMissingEnd = 714;
inline constexpr int kDuplicateLabel = 715;
inline constexpr int kUndefinedLabel = 716;
inline constexpr int kBadArray = 717;
inline constexpr int kProcFirst = 718;
inline constexpr int kBadDatasetName = 719;
inline constexpr int kElseWithoutIf = 720;
inline constexpr int kOutsideLoop = 721;
inline constexpr int kSubscripts = 722;
inline constexpr int kTooManyModels = 723;     // more than 50 MODEL statements
inline constexpr int kBadValueRange = 724;     // PARMS TO/BY that never ends
inline constexpr int kNotAllowedHere = 725;    // a name where a variable is needed
inline constexpr int kParmsWithoutParameters = 726;  // PARMS with neither names nor PDATA=
inline constexpr int kMissingNumber = 727;     // a missing value for an option without a range

// Statement limits, in the compiler's set.
inline constexpr int kCompilerSet = 148;
inline constexpr int kTooDeep = 100;           // nests more than kMaxNesting levels
inline constexpr int kTreeTooDeep = 101;       // expression deeper than kMaxTreeDepth

}  // namespace platform::language::msg
