// Whole steps run twice, the model program run over blocks of observations
// and observation by observation: the return code, the listing, the log,
// every table of the JSON stream (raw doubles) and every output data set
// (numbers with all their digits) must be the same byte for byte. The
// programs cover what a pass must carry or report: weights, _WGTJPJ_,
// _LOSS_, _RESID_, BY groups, DER statements, NEWTON's second derivatives,
// the Hougaard and curvature passes, RETAIN, CONTROL, lagged values, IF,
// LINK and RETURN, GOTO, arrays, _OBS_, run errors in many observations,
// missing values, ID variables, WHERE, ESTIMATE and CONTRAST, grids, step
// halving, and the refits of profiling, the jackknife and the bootstrap
// (whose passes run over blocks as well) for such programs.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "platform/compiler/api.h"
#include "procedure_fixture.h"

namespace {

struct Outcome {
  int rc = 0;
  std::string listing, log, json;
  std::map<std::string, std::string> files;
  bool operator==(const Outcome&) const = default;
};

class BlockPasses : public procedure_test::ProcedureTest {
 protected:
  BlockPasses() : ProcedureTest(true) {
    std::ostringstream csv;
    csv.precision(17);
    csv << "x,y,w,g,half,name\n";
    for (int i = 0; i < 300; ++i) {
      const double x = 0.05 * i;
      csv << (i % 53 == 7 ? "" : std::to_string(x)) << ',';
      if (i % 37 != 5) csv << 3 * std::exp(-0.4 * x) + 1 + 0.05 * std::sin(12.9898 * i);
      csv << ',' << 1 + 0.1 * (i % 5) << ',' << i / 100 << ',' << (i < 256) << ",n" << i % 7 << '\n';
    }
    write_file("d.csv", csv.str());
  }
  ~BlockPasses() override { platform::compiler::allow_block_runs(true); }

  Outcome step(const std::string& program, bool blocks) {
    platform::compiler::allow_block_runs(blocks);
    listing_.str("");
    json_.str("");
    Outcome o;
    o.rc = run(program);
    // The step's number and the page break before a step's listing are the
    // host's; the rest must not differ.
    static const std::regex step_number(R"("step":[0-9]+)");
    o.listing = listing_.str();
    o.listing.erase(std::remove(o.listing.begin(), o.listing.end(), '\f'), o.listing.end());
    o.log = log_.str();
    o.json = std::regex_replace(json_.str(), step_number, "\"step\":0");
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      if (name == "d.csv") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      o.files[name] = std::string(std::istreambuf_iterator<char>(in), {});
      std::filesystem::remove(entry.path());
    }
    return o;
  }
};

TEST_F(BlockPasses, EveryOutputIsTheSameEitherWay) {
  const std::string fit = "parms a=2 b=0.3 c=1; ";
  const std::string model = "model y=a*exp(-b*x)+c; ";
  const std::string refits = " profile a b / range=-1 to 1 by 1 profdata=pd; bootstrap / nsamples=20 seed=3 bootdata=bd;";
  const std::vector<std::string> programs = {
      "proc ruva data=d; " + fit + model + "output out=o p=p r=r stdp=sp h=h parms=pp;",
      "proc ruva data=d; " + fit + "_weight_=w; " + model + "output out=o p=p r=r weight=ww;",
      "proc ruva data=d; " + fit + "_weight_=w; _wgtjpj_=w*w; " + model,
      "proc ruva data=d; " + fit + model + "_loss_=abs(y-a*exp(-b*x)-c)**1.5;",
      "proc ruva data=d; " + fit + model + "_resid_=(y-a*exp(-b*x)-c)/sqrt(w);",
      "proc ruva data=d; by g; " + fit + model + "output out=o p=p r=r;",
      // a group that fills two blocks exactly, then one that does not
      "proc ruva data=d; by descending half; " + fit + model + "output out=o p=p r=r;",
      "proc ruva data=d; " + fit + "k=(name='n3'); model y=a*exp(-b*x)+c+0*k;",
      "proc ruva data=d; " + fit + "e=exp(-b*x); model y=a*e+c; der.a=e; der.b=-a*x*e; der.c=1;",
      "proc ruva data=d method=newton; " + fit + model,
      "proc ruva data=d method=marquardt hougaard bias ruvameasures; " + fit + model,
      "proc ruva data=d; " + fit + "retain s 0; s=s+1; model y=a*exp(-b*x)+c+0*s;",
      "proc ruva data=d; " + fit + "retain prev 0; model y=a*exp(-b*x)+c+0.0001*prev; prev=x;",
      "proc ruva data=d; " + fit + "control k 1; model y=k*a*exp(-b*x)+c;",
      "proc ruva data=d; " + fit + "if x<5 then f=a*exp(-b*x)+c; else f=a*exp(-b*x)+c; model y=f;",
      "proc ruva data=d; " + fit + "link m; model y=f; return; m: f=a*exp(-b*x)+c; return;",
      "proc ruva data=d; " + fit + "f=c; goto l; f=0; l: f=f+a*exp(-b*x); model y=f;",
      "proc ruva data=d; " + fit + "array t[3] t1-t3; do i=1 to 3; t[i]=i; end; model y=a*exp(-b*x)+c+0*t[2];",
      "proc ruva data=d; " + fit + "model y=a*exp(-b*x)+c+0*_obs_;",
      "proc ruva data=d; " + fit + "z=log(x-3); model y=a*exp(-b*x)+c+0*z;",
      "proc ruva data=d; " + fit + "z=1/(x-1); " + model + "output out=o p=p;",
      "proc ruva data=d; id name; " + fit + model + "output out=o p=p r=r h=h lmax=l;",
      "proc ruva data=d; where x > 2; " + fit + model + "output out=o p=p;",
      "proc ruva data=d; " + fit + model + "estimate 'half' log(2)/b; contrast 'ab' a-2, b-0.4;",
      "proc ruva data=d; parms a=1 to 3 by 1 b=0.1 0.3 0.5 c=1; " + model,
      "proc ruva data=d; parms a=20 b=3 c=-1; " + model,
      "proc ruva data=d; " + fit + "model y=a*exp(-b*x)+c*(x**0.5);",
      "proc ruva data=d; " + fit + model + "profile a / range=-1 to 1 by 1; bootstrap / nsamples=20 seed=3 bootdata=bd;",
      // Refits, whose passes run over blocks too, of programs that leave
      // early, jump, weight, carry values or group.
      "proc ruva data=d; " + fit + "link m; model y=f; return; m: f=a*exp(-b*x)+c; return;" + refits,
      "proc ruva data=d; " + fit + "f=c; goto l; f=0; l: f=f+a*exp(-b*x); model y=f;" + refits,
      "proc ruva data=d; " + fit + "_weight_=w; " + model + refits,
      "proc ruva data=d; by g; " + fit + model + refits,
      "proc ruva data=d; " + fit + "control k 1; model y=k*a*exp(-b*x)+c;" + refits,
      "proc ruva data=d; " + fit + "retain prev 0; model y=a*exp(-b*x)+c+0.0001*prev; prev=x;" + refits,
      "proc ruva data=d; " + fit + "array t[3] t1-t3; do i=1 to 3; t[i]=i; end; model y=a*exp(-b*x)+c+0*t[2];" + refits,
      "proc ruva data=d; " + fit + model + "profile a b / jackknife profdata=pd;",
  };
  for (const std::string& program : programs) {
    SCOPED_TRACE(program);
    const Outcome blocks = step(program, true);
    const Outcome alone = step(program, false);
    EXPECT_EQ(blocks.rc, alone.rc);
    EXPECT_TRUE(blocks.listing == alone.listing);
    EXPECT_TRUE(blocks.log == alone.log) << blocks.log << "\n--- observation by observation:\n" << alone.log;
    EXPECT_TRUE(blocks.json == alone.json);
    EXPECT_TRUE(blocks.files == alone.files);
    EXPECT_FALSE(blocks.json.empty()) << blocks.rc << blocks.log;
  }
}

}  // namespace
