// The grammar's parse-control block. The host parser here is a hand-written
// recursive-descent parser that carries its own option table, so of the
// fifteen tables only the terminal tables (texts, offsets, codes and
// deletion costs) are built; the other table pointers stay null.
#include <array>
#include <cstdint>
#include <cstring>

#include "host/globals.h"
#include "host/pool.h"
#include "host/services.h"
#include "procedure/grammar_terminals.h"
#include "procedure/statement_parsing.h"

namespace {

constexpr int kBlockBytes = 336;
constexpr int kPoolGrammar = 0x2004;
constexpr std::int64_t kGrammarKind = 19;
constexpr int kSymtblBytes = 2652;

struct TerminalTables {
  std::array<unsigned char, kSymtblBytes> symtbl{};    // length byte, then the text
  std::array<std::uint16_t, kTerminalCount> symndx{};  // offset of each text
  std::array<std::uint16_t, kTerminalCount> symmap{};  // code of each terminal
  std::array<unsigned char, kTerminalCount> delcost{}; // error-repair cost of deleting it
};

const TerminalTables& terminal_tables() {
  static const TerminalTables tables = [] {
    TerminalTables t;
    std::size_t at = 0;
    const auto terms = grammar_terminals();
    for (int i = 0; i < kTerminalCount; ++i) {
      const std::string_view s = terms[static_cast<std::size_t>(i)];
      t.symndx[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(at);
      t.symmap[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(i + 1);
      t.symtbl[at++] = static_cast<unsigned char>(s.size());
      std::memcpy(&t.symtbl[at], s.data(), s.size());
      at += s.size();
      // The token classes NAMEX to MISSING cost 50, the end marker 127.
      t.delcost[static_cast<std::size_t>(i)] = (i >= 1 && i <= 10) ? 50 : s == "$$$" ? 127 : 10;
    }
    return t;
  }();
  return tables;
}

}  // namespace

void* ruvag() {
  auto* block = static_cast<unsigned char*>(vmalcp_handler(task_pool(), kBlockBytes, kPoolGrammar));
  if (!block) xexit(1016, 0);
  std::memset(block, 0, kBlockBytes);
  const std::uint16_t head[4] = {1, 403, kTerminalCount, 6778};
  std::memcpy(block, head, sizeof head);
  const TerminalTables& t = terminal_tables();
  const void* tables[15] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            t.symtbl.data(), t.symndx.data(), t.symmap.data(), t.delcost.data(),
                            nullptr, nullptr, nullptr};
  std::memcpy(block + 8, tables, sizeof tables);
  const std::uint16_t control[3] = {127, 63, 523};
  std::memcpy(block + 128, control, sizeof control);
  std::memcpy(block + 192, &kGrammarKind, sizeof kGrammarKind);
  return block;
}
