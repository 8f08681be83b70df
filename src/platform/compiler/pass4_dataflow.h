// The data-flow graph the analysis in pass4_dataflow.cpp leaves behind, from
// which the inputs of one symbol are found when they are asked for: the
// inputs of every symbol at once can be as many as the square of the
// program's length (a chain a2=a1+1; a3=a2+2; ...).
#pragma once

#include <vector>

namespace platform::compiler {

struct FlowGraphResult {
  std::size_t nsym = 0;                   // nodes 0..nsym-1 are symbols, the rest arrays
  std::vector<std::vector<int>> sources;  // node -> the nodes its value is taken from
  std::vector<char> assigned;             // symbol node -> assigned by the program
  std::vector<char> named;                // symbol node -> assigned by its own name
  // Array -> the elements its assignments write (row-major index), in the
  // order first written; -1 for an assignment whose subscripts are not all
  // constants, which can write any element.
  std::vector<std::vector<long>> array_writes;
  std::vector<char> input;                // node -> an input (see pass4_dataflow.cpp)
  std::vector<int> jump_guards;           // what every assignment depends on through jumps
  std::vector<unsigned> seen;             // node -> the last search that reached it
  unsigned searches = 0;
};

// The inputs symbol node `node` can depend on, in ascending order.
std::vector<int> flow_inputs(FlowGraphResult& g, std::size_t node);

}  // namespace platform::compiler
