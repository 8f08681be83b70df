// A host with a compiler block, programs given as text, and a stand-in for
// the input data set that hands the compiler its variables and copies an
// observation's values into the cells the compiler bound.
#pragma once

#include <cstring>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "host/missing.h"
#include "host/services.h"
#include "platform/compiler/api.h"
#include "platform/compiler/dataset_view.h"
#include "platform/language/program_text.h"
#include "support/host_fixture.h"
#include "support/program_text.h"

namespace compiler_test {

using platform::compiler::DatasetVariable;
using platform::compiler::VariableBinding;

// The input data set as the compiler sees it.
struct FakeDataset {
  std::vector<DatasetVariable> variables;
  std::vector<VariableBinding> bindings;
  int binds = 0;

  // One observation: a value per variable of the data set, in order.
  using Value = std::variant<double, std::string>;
  void load(const std::vector<Value>& row) const {
    for (const VariableBinding& b : bindings) {
      const Value& v = row.at(static_cast<std::size_t>(b.number - 1));
      if (b.numeric) {
        *static_cast<double*>(b.cell) = std::get<double>(v);
      } else {
        std::string text = std::get<std::string>(v);
        text.resize(static_cast<std::size_t>(b.length), ' ');
        std::memcpy(b.cell, text.data(), text.size());
      }
    }
  }

  static bool describe(void* fid, std::vector<DatasetVariable>* out) {
    *out = static_cast<FakeDataset*>(fid)->variables;
    return true;
  }
  static void* bind(void* fid, const std::vector<VariableBinding>& bindings) {
    auto* d = static_cast<FakeDataset*>(fid);
    d->bindings = bindings;
    ++d->binds;
    return d;
  }
};

inline DatasetVariable numeric(const char* name, int number) { return {name, true, 8, number}; }
inline DatasetVariable character(const char* name, int number, int length) {
  return {name, false, length, number};
}

class CompilerTest : public HostTest {
 protected:
  CompilerTest() {
    previous_access_ = platform::compiler::install_dataset_access(
        {&FakeDataset::describe, &FakeDataset::bind});
    CMPINIT init{&nretain_, &vnum_, &seg_, 0, nullptr};
    cmpinit(&init, &cmp_);
  }
  ~CompilerTest() override {
    cmppurg(&cmp_);
    platform::compiler::install_dataset_access(previous_access_);
  }

  // A fresh compiler block (the data set's variables stay).
  void reset_block() {
    cmppurg(&cmp_);
    nretain_ = 0;
    CMPINIT init{&nretain_, &vnum_, &seg_, 0, nullptr};
    cmpinit(&init, &cmp_);
  }

  // Hands the program over and resolves it against the data set.
  void add(std::string_view text) {
    platform::compiler::add_program(&cmp_, test_support::parse_program(text));
  }
  // As add, read by the statement language's own parser.
  void add_parsed(std::string_view text) {
    platform::language::Program program;
    std::string error;
    ASSERT_TRUE(platform::language::parse_program_text(text, &program, &error)) << error;
    platform::compiler::add_program(&cmp_, std::move(program));
  }
  // Hands the program over, resolves, checks and generates; true when it compiled.
  bool compile(std::string_view text) {
    add(text);
    return generate();
  }
  bool compile_parsed(std::string_view text) {
    add_parsed(text);
    return generate();
  }
  // Resolves, checks and generates what was handed over.
  bool generate() {
    cmprslv(data_.variables.empty() ? nullptr : &data_, &cmp_);
    cmpdfla(0, 0, 0, 1, &cmp_);
    cmpchck(&cmp_);
    const bool generated = cmpgen(&cmp_) == 0 && nretain_ == 0;
    if (generated && !data_.variables.empty()) cmppdv(&data_, &dataptr_, &cmp_);
    return generated;
  }

  CMPSYM* sym(const char* name) {
    return cmpsyms(name, static_cast<int>(std::strlen(name)), &cmp_);
  }
  double& value(const char* name) { return *cmp_cell(sym(name)); }
  std::string text(const char* name) {
    CMPSYM* s = sym(name);
    return std::string(static_cast<const char*>(s->data), static_cast<std::size_t>(s->length));
  }

  void start_pass() { cmpexi(1, 0, 0, &cmp_); }
  // One observation: prepare, load its values, run the current segment.
  int run(const std::vector<FakeDataset::Value>& row = {}, int lastpass = 1) {
    cmpexi(0, 0, 0, &cmp_);
    if (!row.empty()) data_.load(row);
    nerr_ = nmiss_ = 0;
    return cmprun(0, 0, 0, 1, 1, 1, lastpass == 1 ? 0 : 1, lastpass, &nerr_, &nmiss_, &cmp_);
  }

  CMPGLOBAL cmp_{};
  int nretain_ = 0;
  long vnum_ = 0;
  int seg_ = 0;
  int nerr_ = 0;
  int nmiss_ = 0;
  FakeDataset data_;
  void* dataptr_ = nullptr;
  platform::compiler::DatasetAccess previous_access_;
};

}  // namespace compiler_test
