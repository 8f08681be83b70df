// How messages name the observations a fit covers.
#pragma once

#include <string>

struct RUVACOM;

// "the BY group state=treated" in a step with BY groups, "the data" in one
// without.
std::string group_name(const RUVACOM* ctx);
