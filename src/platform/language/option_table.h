// The options of the procedure statements as data: one descriptor per
// option with its keyword and synonyms, what it takes, the option bits it
// sets and the field it fills, and the accepted range of a number.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace platform::language {

// Where an option may stand.
enum class OptionContext {
  None,
  Proc,                  // PROC RUVA options
  PlotsGlobal,           // PLOTS( ... )
  PlotsRequest,          // PLOTS= ...
  PlotsDiagnostics,      // DIAGNOSTICS( ... )
  PlotsResiduals,        // RESIDUALS( ... )
  PlotsFit,              // FIT( ... )
  StatsGlobal,           // PLOTS(STATS= NONE | DEFAULT | ALL)
  StatsGlobalList,       // PLOTS(STATS=( ... ))
  StatsDiagnostics,
  StatsDiagnosticsList,
  StatsFit,
  StatsFitList,
  Output,                // OUTPUT before "/"
  OutputSlash,           // OUTPUT after "/"
  Bootstrap,             // BOOTSTRAP after "/"
  BootDgp,               // DGP= RESIDUAL | WILD
  BootResidual,          // DGP=RESIDUAL( ... )
  BootPlots,             // BOOTPLOTS( ... )
  BootCi,                // BOOTCI( ... )
  Profile,               // PROFILE after "/"
  Estimate,              // ESTIMATE after "/"
  Contrast,              // CONTRAST after "/"
  Parms,                 // PARMS after "/"
};

enum class OptionKind {
  Flag,     // KEYWORD: sets its bits
  Number,   // KEYWORD= number: field, range checked
  Keyword,  // KEYWORD= one of `values`: field
  Dataset,  // KEYWORD= data set: field
  Names,    // KEYWORD= variable list: field
  Choice,   // KEYWORD= one option of `sub`, or ( options of `list` ) setting list_bit
  Group,    // KEYWORD [ ( options of `sub` ) ]
  Plots,    // KEYWORD [ ( options of `sub` ) ] [ = request | = ( requests ) of `list` ]
  Range,    // KEYWORD= from TO to BY step: fields field, field+1, field+2
  Action,   // accepted; acts on the host parser's tracing only
};

inline constexpr double kNoBound = -1e300;  // a range end that is open

struct OptionSpec {
  OptionContext context;
  const char* keywords;       // synonyms separated by '|', as the grammar writes them
  OptionKind kind;
  std::array<int, 4> bits;    // bits set when the option is given; -1 for none
  int field;                  // field filled; -1 for none
  double low;                 // Number: inclusive range; kNoBound when open
  double high;
  const char* values;         // Keyword: accepted values separated by '|'
  OptionContext sub;          // Choice, Group, Plots
  OptionContext list;         // Choice, Plots
  int list_bit;               // set by the list of a Choice or the "=" of Plots
  int use;                    // Dataset: 1 read, 2 written
};

// Every option of every procedure statement.
std::span<const OptionSpec> option_table();

// The option of `context` that `word` (upper case) names, or null. A
// keyword written with a trailing "$" in the grammar is matched without it.
const OptionSpec* find_option(OptionContext context, std::string_view word);

// Whether `word` (upper case) is one of `alternatives` ("A|B$|C"), with the
// same "$" rule.
bool matches_keyword(std::string_view alternatives, std::string_view word);

// The first synonym without its "$": the option's name in messages.
std::string option_name(const OptionSpec& desc);

// The range of a Number option as text: "0 to 1", "at least 0".
std::string range_text(const OptionSpec& desc);

}  // namespace platform::language
