// The cells of one row of the ParameterEstimates table: the columns are
// bound to them, and each row sets them before it is committed.
#pragma once

#include <algorithm>
#include <cstring>

#include "host/compiler_types.h"
#include "host/missing.h"
#include "host/services.h"

struct EstimateRow {
  static constexpr int kNameBytes = 33;    // names of at most 32 characters
  static constexpr int kLabelBytes = 256;  // labels are cut at 255

  char name[kNameBytes] = {};
  double est = 0, se = 0, lower = 0, upper = 0;
  // Bootstrap cells and the skewness show missing values unless set.
  double boot_sd = special_missing_value();
  double bc_lower = special_missing_value(), bc_upper = special_missing_value();
  double perc_lower = special_missing_value(), perc_upper = special_missing_value();
  double normal_lower = special_missing_value(), normal_upper = special_missing_value();
  double skew = special_missing_value();
  double bias = special_missing_value(), per_bias = special_missing_value();
  double t = 0, p = 0;
  xobskey label = nullptr;  // a text object, as a label may hold a NUL byte

  void set_name(const char* text, int length) {
    const int n = std::clamp(length, 0, kNameBytes - 1);
    std::memset(name, 0, sizeof name);
    if (text) std::memcpy(name, text, static_cast<std::size_t>(n));
  }
  // The symbol's label, or blank when it has none.
  void set_label(const CMPSYMINFO* info) {
    label = nullptr;
    if (!info || !info->label) return;
    const int length = info->labeleng < 0 ? static_cast<int>(std::strlen(info->label)) : info->labeleng;
    label = yoltxt(info->label, std::min(length, kLabelBytes - 1));
  }
};
