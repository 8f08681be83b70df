#include "host/name_list.h"

#include <cstdint>

namespace {

constexpr int kNextWord = 1;
constexpr int kLastNumberWord = 3;
constexpr int kNamesOffset = 32;

}  // namespace

int zgetnmr(const void* listptr, int elemnum, const char** npp, int* nlp) {
  if (!listptr || elemnum < 0) return 1;
  const auto* block = static_cast<const std::int64_t*>(listptr);
  std::int64_t first = 0;
  while (elemnum > block[kLastNumberWord]) {
    first = block[kLastNumberWord] + 1;
    block = reinterpret_cast<const std::int64_t*>(block[kNextWord]);
    if (!block) return 1;
  }
  const auto* name = reinterpret_cast<const unsigned char*>(block) + kNamesOffset;
  for (std::int64_t skip = elemnum - first; skip > 0; --skip) name += *name + 1;
  *nlp = *name;
  *npp = reinterpret_cast<const char*>(name + 1);
  return 0;
}
