// The terminal symbols of the procedure's grammar.
#pragma once

#include <span>
#include <string_view>

inline constexpr int kTerminalCount = 402;

std::span<const std::string_view> grammar_terminals();
