// What the compiler needs of the input data set, behind functions that the
// data-set layer installs: the names, types, lengths and positions of its
// variables (cmprslv), a variable vector that carries each observation's
// values into the program's cells (cmppdv, then xyvget), the program's
// WHERE condition handed to the data set, and why a character variable is
// character.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform::compiler {

struct DatasetVariable {
  std::string name;
  bool numeric = true;
  int length = 8;  // bytes of the value
  int number = 0;  // position in the data set, from 1
};

// Where one data-set variable's value goes for each observation.
struct VariableBinding {
  int number = 0;  // the data-set variable
  bool numeric = true;
  int length = 8;
  void* cell = nullptr;  // a double, or `length` characters, blank-padded
};

struct DatasetAccess {
  // The variables of the data set `fiddata`; false when it cannot be read.
  bool (*describe)(void* fiddata, std::vector<DatasetVariable>* variables) = nullptr;
  // The input variable vector (the handle xyvget takes) that copies the
  // bound variables of each observation into their cells; null on failure.
  void* (*bind)(void* fiddata, const std::vector<VariableBinding>& bindings) = nullptr;
  // Leaves out of the data set the observations `accepts` rejects; it is
  // called with each one current, before the first is read.
  void (*filter)(void* fiddata, std::function<bool()> accepts) = nullptr;
  // Reports why variable `number` of the data set is character, when the
  // program needs it as a number.
  void (*not_a_number)(void* fiddata, int number) = nullptr;
};

// Installs the data-set layer's functions (and returns the previous ones).
DatasetAccess install_dataset_access(const DatasetAccess& access);
const DatasetAccess& dataset_access();

}  // namespace platform::compiler
