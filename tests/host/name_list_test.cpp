// Names in chained name-list blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/name_list.h"

namespace {

// Builds a chain of name-list blocks in the host's layout: four 64-bit
// words (unused, next, unused, number of the last name) then the names.
class NameChain {
 public:
  // Adds a block holding `names`; names are numbered on from the last block.
  void add_block(const std::vector<std::string>& names) {
    auto block = std::make_unique<std::int64_t[]>(4 + 64);
    std::memset(block.get(), 0, sizeof(std::int64_t) * 68);
    last_ += static_cast<std::int64_t>(names.size());
    block[0] = 0x5A5A;  // words 0 and 2 are not read
    block[2] = -7;
    block[3] = last_;
    auto* p = reinterpret_cast<unsigned char*>(block.get() + 4);
    for (const std::string& n : names) {
      *p++ = static_cast<unsigned char>(n.size());
      std::memcpy(p, n.data(), n.size());
      p += n.size();
    }
    if (!blocks_.empty()) blocks_.back()[1] = reinterpret_cast<std::int64_t>(block.get());
    blocks_.push_back(std::move(block));
  }
  const void* head() const { return blocks_.front().get(); }

 private:
  std::vector<std::unique_ptr<std::int64_t[]>> blocks_;
  std::int64_t last_ = -1;
};

std::string name_at(const void* list, int index, int* rc) {
  const char* text = nullptr;
  int length = -1;
  *rc = zgetnmr(list, index, &text, &length);
  return *rc == 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

TEST(NameList, NamesAreNumberedAcrossTheChain) {
  NameChain chain;
  chain.add_block({"alpha", "b", "", "delta"});  // names 0-3
  chain.add_block({"epsilon"});                    // name 4: one past the last of block one
  chain.add_block({"zeta", std::string(255, 'x')});  // the length byte is unsigned
  const std::vector<std::string> expected = {"alpha", "b", "",     "delta",
                                             "epsilon", "zeta", std::string(255, 'x')};
  for (int i = 0; i < static_cast<int>(expected.size()); ++i) {
    int rc = -1;
    EXPECT_EQ(name_at(chain.head(), i, &rc), expected[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(rc, 0) << i;
  }
  int rc = 0;
  name_at(chain.head(), 7, &rc);  // past the end of the chain
  EXPECT_EQ(rc, 1);
  name_at(chain.head(), -1, &rc);
  EXPECT_EQ(rc, 1);
  name_at(nullptr, 0, &rc);
  EXPECT_EQ(rc, 1);
}

}  // namespace
