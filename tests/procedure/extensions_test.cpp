// Which kernel-library extensions a step loads for which request, the
// analyses switched off when one cannot be loaded, and their release at the end of the task,
// once even when the purge entry runs as well. The kernel library's load
// operation is replaced by one that records the names it is asked for.
#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/kernel_object_header.h"
#include "host/kernel_handle.h"
#include "procedure_fixture.h"

namespace {

using procedure_test::ProcedureTest;

struct Loader {
  std::vector<std::string> loaded;
  std::set<std::string> missing;
  int destroyed = 0;
};
Loader g_loader;

void destroy(void* self) {
  ++g_loader.destroyed;
  delete static_cast<QXGeneric*>(self);
}

void* fake_load(QX_HNDL_S*, const QXChar* name, QXStrSize length, int) {
  std::string narrow;
  for (QXStrSize i = 0; i < length; ++i) narrow += static_cast<char>(name[i]);
  if (g_loader.missing.count(narrow)) return nullptr;
  g_loader.loaded.push_back(narrow);
  return new QXGeneric{nullptr, "fake", &destroy};
}

class ExtensionsTest : public ProcedureTest {
 protected:
  explicit ExtensionsTest(bool graphics = false) : ProcedureTest(graphics) {
    write_file("d.csv", "x,y\n1,2\n2,4\n3,5\n");
    qx_ = static_cast<QX_HNDL_S*>(host_.qx_handle_area());
    saved_ = qx_->loadExtension;
    qx_->loadExtension = &fake_load;
  }
  ~ExtensionsTest() override { qx_->loadExtension = saved_; }

  // Runs a one-parameter model with every derivative given and `extra`.
  int step(const std::string& extra, const std::string& opts = "") {
    g_loader.loaded.clear();
    g_loader.destroyed = 0;
    return run("proc ruva data=d " + opts + "; parms a=1; model y = a*x; der.a = x; der.a.a = 0; " + extra);
  }

  QX_HNDL_S* qx_;
  decltype(QX_HNDL_S::loadExtension) saved_;
};

using Names = std::vector<std::string>;

TEST_F(ExtensionsTest, WhatEachRequestLoads) {
  struct Case {
    const char* extra;
    const char* opts;
    Names loaded;
    int rc = 0;
  };
  const std::vector<Case> cases = {
      {"", "", {}},
      {"profile a;", "", {"qxprof", "qxrec", "qxznlo"}},
      // A fit that fails (code 4) keeps the bootstrap from running on the
      // fake extensions; they are loaded all the same.
      {"der.a = 0; bootstrap;", "", {"qxprof", "qxrec", "qxznlo", "qxbstat", "qxtab"}, 4},
      {"der.a = 0; profile a; bootstrap;", "", {"qxprof", "qxrec", "qxznlo", "qxbstat", "qxtab"}, 4},
      {"output out=o resexpec=re lmax=lm;", "", {}},
      {"output out=o p=pred;", "", {}},
      {"", "bias", {"qxznlo"}},
      {"", "ruvameasures", {"qxznlo"}},
      {"", "hougaard", {}},
  };
  for (const Case& c : cases) {
    g_loader.missing.clear();
    EXPECT_EQ(step(c.extra, c.opts), c.rc) << c.extra << c.opts << "\n" << log_text();
    EXPECT_EQ(g_loader.loaded, c.loaded) << c.extra << c.opts;
    // Every extension is released at the end of the task, once.
    EXPECT_EQ(g_loader.destroyed, static_cast<int>(c.loaded.size())) << c.extra << c.opts;
    ruvapurg(context());
    EXPECT_EQ(g_loader.destroyed, static_cast<int>(c.loaded.size())) << c.extra << c.opts;
  }
}

class ExtensionsGraphicsTest : public ExtensionsTest {
 protected:
  ExtensionsGraphicsTest() : ExtensionsTest(/*graphics=*/true) {}
};

TEST_F(ExtensionsGraphicsTest, GraphsNeedTheOptimiser) {
  g_loader.missing.clear();
  EXPECT_EQ(step("", "plots=fit"), 0) << log_text();
  EXPECT_EQ(g_loader.loaded, Names{"qxznlo"});
}

// With the optimiser loaded BIAS asks for the curvature block of the
// diagnostics; nothing computes the accelerations yet, so the columns of
// the OutputStatistics table hold missing values, not 0.
TEST_F(ExtensionsGraphicsTest, AccelerationsAreMissingUntilSomethingComputesThem) {
  ASSERT_EQ(step("", "bias plots=residuals"), 0) << log_text();
  std::istringstream in(json_.str());
  int cells = 0;
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json t = nlohmann::json::parse(line);
    if (t.value("name", "") != "OutputStatistics") continue;
    for (const auto& row : t["rows"])
      for (std::size_t c = 0; c < t["columns"].size(); ++c)
        if (t["columns"][c]["name"].get<std::string>().find("Acceleration") != std::string::npos) {
          EXPECT_TRUE(row[c].is_null()) << row;
          ++cells;
        }
  }
  EXPECT_EQ(cells, 6);  // three observations, two columns
}

// An analysis whose extension cannot be loaded is noted and switched off;
// the step goes on, loads what the other analyses need, and releases what
// it loaded.
TEST_F(ExtensionsGraphicsTest, AMissingExtensionSwitchesOffTheAnalysesThatNeedIt) {
  struct Case {
    const char* extra;
    const char* opts;
    const char* missing;
    Names loaded;
    std::vector<int> noted;
  };
  const std::vector<Case> cases = {
      {"profile a;", "", "qxrec", {"qxprof"}, {800}},
      {"bootstrap;", "", "qxrec", {"qxprof"}, {801}},
      {"bootstrap;", "", "qxtab", {"qxprof", "qxrec", "qxznlo", "qxbstat"}, {801}},
      {"profile a; bootstrap;", "", "qxprof", {}, {800, 801}},
      {"profile a;", "bias", "qxrec", {"qxprof", "qxznlo"}, {800}},
      {"output out=o resexpec=re;", "bias ruvameasures plots=fit", "qxznlo", {}, {960, 902}},
      {"output out=o resexpec=re lmax=lm;", "", "qxznlo", {}, {}},
  };
  for (const Case& c : cases) {
    g_loader.missing = {c.missing};
    EXPECT_EQ(step(c.extra, c.opts), 0) << c.extra << c.opts << "\n" << log_text();
    EXPECT_EQ(g_loader.loaded, c.loaded) << c.extra << c.opts;
    EXPECT_EQ(g_loader.destroyed, static_cast<int>(c.loaded.size())) << c.extra << c.opts;
    for (int number : c.noted) EXPECT_EQ(logged(number), 1) << number << " " << c.extra << c.opts;
    const bool named = log_text().find(std::string(c.missing) + " could not be loaded") != std::string::npos;
    EXPECT_EQ(named, !c.noted.empty()) << c.extra << c.opts << "\n" << log_text();
  }
  g_loader.missing.clear();
}

}  // namespace
