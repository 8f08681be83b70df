// How messages name the observations a fit covers.
#pragma once

#include <string>

struct RUVACOM;

// "the BY group state=treated" in a step with BY groups, "the data" in one
// without.
std::string group_name(const RUVACOM* ctx);
// " in the BY group state=treated" in a step with BY groups, "" in one
// without: for messages that name the group only when there is one.
std::string by_group_phrase(const RUVACOM* ctx);
