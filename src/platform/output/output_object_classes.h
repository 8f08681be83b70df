// The class tables of the output service's objects, laid out as the
// module's dispatcher reads them: hashed method buckets and super tables.
//
//   Root      (the block of xobinit)  147 create the output manager
//   Symbols   164 set and 175 get a value under a text key
//   Manager   : Symbols  2 147 300 358 388 422 428 435 439 446 447 2826
//   Data      : Symbols  298 299 316 329 338 346
//   Factoid   : Symbols  164 (facts) 299 316
//   Group     : Symbols  ends through zoom[3]
//   View, Graph, Matrix : Symbols
//   Text      no methods
#pragma once

#include <array>
#include <deque>
#include <initializer_list>
#include <utility>
#include <vector>

#include "host/object_methods.h"

namespace platform {

enum class ClassId { Root, Symbols, Manager, Data, Factoid, View, Group, Graph, Matrix, Text, kCount };

class OutputClasses {
 public:
  // `method_data` is handed to every method as its second argument.
  explicit OutputClasses(void* method_data);
  OutputClasses(const OutputClasses&) = delete;
  OutputClasses& operator=(const OutputClasses&) = delete;

  WOB_MA_TBL_STR* table(ClassId id) { return &classes_[static_cast<int>(id)].table; }

 private:
  static constexpr std::uint32_t kMask = 15;
  struct Class {
    WOB_MA_TBL_STR table{};
    std::vector<WOB_EXPRESS_STR*> buckets;
  };
  void define(ClassId id, const ClassId* super, std::initializer_list<std::pair<int, WobMethod>> methods);
  WOB_ENT_STR* entry(int id, WobMethod fn);

  void* method_data_;
  std::array<Class, static_cast<int>(ClassId::kCount)> classes_;
  std::deque<WOB_EXPRESS_STR> chain_;
  std::deque<WOB_ENT_STR> entries_;
};

}  // namespace platform
