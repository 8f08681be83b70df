// The refit engine's set-up after a real fit: the model text the engine
// compiles, the variables and record layout, the BOUNDS constraints, the
// records of a BY group through the data reader, and the task descriptions
// handed to the engine.
#include <cstring>
#include <regex>

#include "fake_extensions.h"
#include "procedure/step_memory.h"
#include "profile/refit_client.h"
#include "results/fit_fixture.h"
#include "support/refit_driver.h"

namespace {

using profile_test::FakeEngine;
using profile_test::FakeRecords;
using profile_test::TaskCopy;
using results_test::kPuromycin;

// Every BY group: grid and fit, the inspection, then the group's reset.
void each_group_body() {
  RUVACOM* ctx = procedure_test::begin_step(2);
  while (xbynext(ctx->fiddata) > 0) {
    if (jovgrid(ctx) == 0) jovopt(ctx);
    if (procedure_test::inspection()) procedure_test::inspection()(ctx);
    reset_for_next_bygroup(ctx);
  }
  xexit(ctx->rc, 0);
}

std::string names(const CMPLIST* list) {
  std::string out;
  for (std::int32_t i = 0; i < list->n; ++i)
    out += std::string(list->s[i]->name, list->s[i]->nameleng) + " ";
  return out;
}

class RefitSetupTest : public results_test::FitTest {
 protected:
  // Fits `program` over `csv` and sets up the block after the first group's fit.
  void set_up(const std::string& csv, const std::string& program,
              std::function<void(RUVACOM*)> look) {
    write_file("d.csv", csv);
    ASSERT_EQ(run_and_inspect(program, procedure_test::fit_first_group_body,
                              [&](RUVACOM* ctx) {
                                ASSERT_EQ(setup_qxprof_block(ctx), 0) << log_text();
                                look(ctx);
                              }),
              0)
        << log_text();
  }
};

const char* const kMichaelis = "model rate = theta1 * conc / ( theta2 + conc );";
const std::string kObjective =
    " _P_WEIGHTED_SSE_ = ( MODEL.rate - rate ) * ( MODEL.rate - rate ) ;";

TEST_F(RefitSetupTest, ModelTextVariablesAndRecordSize) {
  struct Case {
    std::string csv, statements, starts, objective, vars;
    int record_size;
  };
  const std::string with_group =
      "grp,conc,rate\na,0.02,76\nb,0.06,97\na,0.11,123\nb,0.22,159\na,0.56,191\n";
  const Case cases[] = {
      // The MODEL statement first: its assignment leads the text.
      {kPuromycin, kMichaelis, "MODEL.rate =", kObjective, "rate conc ", 8},
      {kPuromycin, std::string("c = conc; ") + kMichaelis + " _weight_ = 1 / rate;",
       "c  =  conc  ;",
       " _P_WEIGHTED_SSE_ = _weight_ * ( MODEL.rate - rate ) * ( MODEL.rate - rate ) ;",
       "rate conc ", 8},
      // A response the program computes is read as the computed variable.
      {kPuromycin, "y = rate / 100; model y = theta1 * conc / ( theta2 + conc );", "y  =  rate",
       " _P_WEIGHTED_SSE_ = ( MODEL.y - __COMPUTED_DEP__ ) * ( MODEL.y - __COMPUTED_DEP__ ) ;",
       "__COMPUTED_DEP__ conc rate ", 16},
      // A character variable: a LENGTH statement in front; its field is rounded up to 8 bytes.
      {with_group, std::string("s = 1; if grp = 'b' then s = 2; ") + kMichaelis, "s  =  1  ;",
       kObjective, "rate conc grp ", 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statements);
    set_up(
        c.csv, "proc ruva data=d; parms theta1=200 theta2=0.1; " + c.statements, [&](RUVACOM* ctx) {
          const PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
          const std::string text(q.model_text, static_cast<std::size_t>(q.model_text_len));
          // The program runs as a LINK routine, so that a RETURN comes back to the objective.
          const std::string routine = "_P_MODEL_PROGRAM_:";
          const std::size_t start = text.find(routine);
          ASSERT_NE(start, std::string::npos) << text;
          EXPECT_EQ(text.find(c.starts), text.find_first_not_of(' ', start + routine.size()))
              << text;
          EXPECT_EQ(text.find("link _P_MODEL_PROGRAM_ ; goto _P_MODEL_OBJECTIVE_ ;"),
                    text.find("length") == std::string::npos ? 1 : text.find(';') + 2)
              << text;
          EXPECT_NE(text.find(" = theta1 * conc / ( theta2 + conc );"), std::string::npos) << text;
          ASSERT_GE(text.size(), c.objective.size());
          EXPECT_EQ(text.substr(text.size() - c.objective.size()), c.objective);
          // The reserved size covers every byte written, weighted or not.
          std::vector<char> buf(static_cast<std::size_t>(get_wsse_text(ctx, nullptr)) + 1, '\0');
          EXPECT_GE(buf.size() - 1, c.objective.size());
          get_wsse_text(ctx, buf.data());
          EXPECT_EQ(std::string(buf.data()), c.objective);
          EXPECT_EQ(names(q.vars), c.vars);
          EXPECT_EQ(q.record_size, c.record_size);
          EXPECT_TRUE(q.is_setup);
        });
  }
}

TEST_F(RefitSetupTest, BoundsBecomeConstraints) {
  set_up(kPuromycin,
         "proc ruva data=d; parms theta1=200 theta2=0.1; bounds theta1 <= 500, 0 < theta2; "
         "bounds theta2 < theta1, 1 <= 2; " +
             std::string(kMichaelis),
         [&](RUVACOM* ctx) {
           const PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
           ASSERT_EQ(q.n_cons, 3);
           EXPECT_EQ(q.sp, 2);
           EXPECT_EQ(q.mp, 1);
           struct Row {
             QXPROF_C_TYPE type;
             QXPROF_REL_OP op;
             double val;
             int index;
           };
           const Row rows[] = {{SINGLE_PARM, LEQ, 500, 0},
                               {SINGLE_PARM, GEQ, 0, 1},
                               {MULTI_PARM_LINEAR, LEQ, 0, -1}};
           for (int i = 0; i < 3; ++i) {
             const QXPROF_CONSTRAINT& c = *q.c_h_h[i];
             EXPECT_EQ(c.c_type, rows[i].type) << i;
             EXPECT_EQ(c.rel_op, rows[i].op) << i;
             EXPECT_EQ(c.val, rows[i].val) << i;
             if (c.c_type == SINGLE_PARM) {
               EXPECT_EQ(c.sp.index, rows[i].index) << i;
             }
           }
           // theta2 below theta1: 1 x theta2 - 1 x theta1 <= 0.
           const QXPROF_MP_DATA& mp = q.c_h_h[2]->mp;
           EXPECT_EQ(mp.n_parms, 2);
           EXPECT_EQ(mp.index_h[0], 1);
           EXPECT_EQ(mp.index_h[1], 0);
           EXPECT_EQ(mp.c_vals_h[0], 1.0);
           EXPECT_EQ(mp.c_vals_h[1], -1.0);
         });
}

// Two BY groups; group 1 drops an observation with a missing response. Each
// group's records hold its used observations only, in order, and a file
// still held by a user at the end of a group does not reach the next one.
TEST_F(RefitSetupTest, RecordsOfEachByGroupThroughTheDataReader) {
  write_file("d.csv",
             "g,conc,rate\n1,0.02,76\n1,0.06,.\n1,0.11,123\n1,0.22,159\n1,0.56,191\n"
             "2,0.02,47\n2,0.06,107\n2,0.11,139\n2,0.22,152\n2,1.10,200\n2,1.10,207\n");
  FakeRecords fake;
  std::vector<std::vector<double>> conc, rate;
  const int rc = run_and_inspect(
      "proc ruva data=d; by g; parms theta1=200 theta2=0.1; " + std::string(kMichaelis),
      each_group_body, [&](RUVACOM* ctx) {
        PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
        if (!q.is_setup) {
          ASSERT_EQ(setup_qxprof_block(ctx), 0);
        }
        ctx->exts.qxrec_ext_h = &fake.extension;
        if (!ctx->ruvaprofile_control) ctx->ruvaprofile_control = ruva_new<RUVAPROFILE_CONTROL>();
        EXPECT_EQ(q.qxrec_file_h, nullptr) << "a record file left from the previous group";
        ASSERT_EQ(put_data_qxrec(ctx, kRefitProfile), 0);
        ++q.n_qxrec_file_users;  // a bootstrap that was switched off never releases it
        // Reads of 3 records: the last read returns -1 and the reader starts again.
        std::vector<double> buffer(3);
        std::vector<double> c;
        QXPROF_DATA_CB_ARGS a{ctx, buffer.data(), 8, 3, 0, 0};
        int end = 0;
        while (end == 0) {
          end = data_reader(&a);
          EXPECT_EQ(a.first_obs_index, static_cast<std::int32_t>(c.size()));
          c.insert(c.end(), buffer.begin(), buffer.begin() + a.n_act_recs_read);
        }
        EXPECT_EQ(ctx->read_status, START);
        conc.push_back(c);
        const double* y = ctx->ruvaprofile_control->comp.y_obs_ptr;
        rate.emplace_back(y, y + ctx->iobs);
        release_qxrec_file(ctx);
        ctx->ruvaprofile_control = nullptr;
      });
  ASSERT_EQ(rc, 0) << log_text();
  ASSERT_EQ(conc.size(), 2u);
  EXPECT_EQ(conc[0], (std::vector<double>{0.02, 0.11, 0.22, 0.56}));
  EXPECT_EQ(rate[0], (std::vector<double>{76, 123, 159, 191}));
  EXPECT_EQ(conc[1], (std::vector<double>{0.02, 0.06, 0.11, 0.22, 1.10, 1.10}));
  EXPECT_EQ(rate[1], (std::vector<double>{47, 107, 139, 152, 200, 207}));
  ASSERT_EQ(fake.files.size(), 2u);
  EXPECT_TRUE(fake.files[0]->truncated);
}

// A model that reads no input variable but the response has empty records.
TEST_F(RefitSetupTest, ModelWithoutInputsHasEmptyRecords) {
  FakeRecords fake;
  set_up(kPuromycin, "proc ruva data=d; parms a=100; model rate = a;", [&](RUVACOM* ctx) {
    EXPECT_EQ(ctx->qxprof_block.record_size, 0);
    ctx->exts.qxrec_ext_h = &fake.extension;
    ASSERT_EQ(put_data_qxrec(ctx, kRefitBootstrap), 0);
    char none[8];
    QXPROF_DATA_CB_ARGS a{ctx, none, 0, 100, 0, 0};
    EXPECT_EQ(data_reader(&a), -1);
    EXPECT_EQ(a.n_act_recs_read, 12);
    close_qxrec_file(ctx);
  });
}

// The engine learns the model's text, its parameters and its variables: the
// response as computed variable 0, the input variables at their record offsets.
TEST_F(RefitSetupTest, InterfaceDeclaresParametersAndVariables) {
  set_up("grp,conc,rate\na,0.02,76\nb,0.06,97\na,0.11,123\nb,0.22,159\n",
         "proc ruva data=d; parms theta1=200 theta2=0.1; s = 1; if grp = 'b' then s = 2; " +
             std::string(kMichaelis),
         [&](RUVACOM* ctx) {
           FakeEngine engine(ctx->nparm, 0);
           ctx->exts.prof_ext_h = &engine.extension;
           const QXPROF_DATA_DESC data{ctx->iobs, ctx->qxprof_block.record_size, ctx, data_reader};
           ASSERT_EQ(interface_model(ctx, &data, 7), 0);
           ctx->insts.prof_inst_h = ctx->exts.prof_ext_h = nullptr;
           const QXPROF_PARMS& p = engine.created;
           EXPECT_EQ(p.dims.n_tasks, 7);
           EXPECT_EQ(p.model.n_parms, 2);
           EXPECT_EQ(p.model.n_vars, 3);
           EXPECT_EQ(p.model.n_comp_vars, 1);
           EXPECT_EQ(p.model.type, FROM_TEXT);
           EXPECT_EQ(std::string(p.model.based.text.objf_name_s.str), "_P_WEIGHTED_SSE_");
           EXPECT_EQ(p.model.based.text.text, ctx->qxprof_block.model_text);
           ASSERT_EQ(engine.parms.size(), 2u);
           EXPECT_EQ(std::string(engine.parms[1].name, 6), "theta2");
           struct Var {
             QXPROF_VAR_TYPE type;
             int place;
             bool numeric;
           };
           const Var want[] = {
               {COMPUTED_VAR, 0, true}, {DATASET_VAR, 0, true}, {DATASET_VAR, 8, false}};
           ASSERT_EQ(engine.vars.size(), 3u);
           for (int i = 0; i < 3; ++i) {
             EXPECT_EQ(engine.vars[i].index, i);
             EXPECT_EQ(engine.vars[i].type, want[i].type) << i;
             EXPECT_EQ(engine.vars[i].u.offset, want[i].place) << i;
             EXPECT_EQ(engine.vars[i].numeric, want[i].numeric) << i;
           }
         });
}

TEST_F(RefitSetupTest, TasksOfEachKind) {
  set_up(kPuromycin,
         "proc ruva data=d; parms theta1=200 theta2=0.1; bounds theta2 <= 1; " +
             std::string(kMichaelis),
         [&](RUVACOM* ctx) {
           FakeEngine engine(ctx->nparm, 8);
           ctx->insts.prof_inst_h = &engine.instance;
           const std::vector<double> est(ctx->parm, ctx->parm + 2);
           std::vector<double> ref = {210, 0.07}, se = {0.008}, from = {-2}, by = {1};
           std::int32_t loc = 1;
           RUVAPROFILE_CONTROL prof{};
           prof.ref.ref_best_parm_vals = ref.data();
           prof.comp.se = se.data();
           prof.comp.from = from.data();
           prof.comp.by = by.data();
           prof.comp.prof_parm_loc = &loc;
           ctx->ruvaprofile_control = &prof;
           std::vector<QXPROF_TASK_DESC> tasks(12);
           ASSERT_EQ(define_tasks(ctx, tasks.data(), 0, 1, 0, kTaskReference), 0);
           ASSERT_EQ(define_tasks(ctx, tasks.data(), 0, 3, 0, kTaskProfilePoint), 0);
           ASSERT_EQ(define_tasks(ctx, tasks.data(), 5, 12, 0, kTaskJackknife), 0);
           ctx->ruvaprofile_control = nullptr;
           ctx->insts.prof_inst_h = nullptr;
           EXPECT_EQ(std::vector<double>(ctx->parm, ctx->parm + 2), est) << "estimates restored";
           ASSERT_EQ(engine.tasks.size(), 16u);
           const TaskCopy& r = engine.tasks[0];
           EXPECT_EQ(r.start, (std::vector<double>{est[0] - 0.05, est[1]}));
           for (const TaskCopy& t : engine.tasks) {
             EXPECT_EQ(t.desc.nlo_u_opt.tech, 10);
             EXPECT_EQ(t.desc.nlo_u_opt.maxi, ctx->maxiter);
             EXPECT_EQ(t.desc.missing_policy, ONLY_OBJ);
             EXPECT_TRUE(t.desc.no_hess_flag);
             ASSERT_FALSE(t.constraints.empty());
             EXPECT_EQ(t.constraints[0].rel_op, LEQ);
             EXPECT_EQ(t.constraints[0].val, 1.0);
           }
           for (int k = 0; k < 3; ++k) {
             const TaskCopy& t = engine.tasks[1 + static_cast<std::size_t>(k)];
             const double theta = 0.07 + (-2 + k) * 0.008;
             EXPECT_EQ(t.desc.task_id, k);
             EXPECT_EQ(t.start, (std::vector<double>{210, theta}));
             ASSERT_EQ(t.constraints.size(), 2u);
             EXPECT_EQ(t.constraints[1].rel_op, EQUAL);
             EXPECT_EQ(t.constraints[1].sp.index, 1);
             EXPECT_EQ(t.constraints[1].val, theta);
           }
           for (int k = 0; k < 12; ++k) {
             const TaskCopy& t = engine.tasks[4 + static_cast<std::size_t>(k)];
             EXPECT_EQ(t.desc.task_id, k);
             EXPECT_EQ(t.start, ref);
             std::vector<unsigned char> bits(8, 0);
             bits[static_cast<std::size_t>(k / 8)] = static_cast<unsigned char>(0x80 >> (k % 8));
             EXPECT_EQ(t.skip, bits) << k;
           }
         });
}

}  // namespace

namespace {

// After a real fit the engine refits Puromycin from the block: the reference
// task returns to the estimates and the fit's SSE; a profile point fixing
// theta2 matches the fit with theta2 held by BOUNDS.
TEST_F(RefitSetupTest, EngineRefitsMatchTheProcedure) {
  constexpr double kFixed = 0.08;
  ASSERT_EQ(fit(kPuromycin,
                "proc ruva data=d; parms theta1=200 theta2=0.08; bounds 0.08 <= theta2 <= 0.08; " +
                    std::string(kMichaelis)),
            0)
      << log_text();
  const double held = number(table("ParameterEstimates"), 0, "Estimate");
  std::vector<double> estimates, reference, fixed;
  double sse = 0, ref_sse = 0, fixed_sse = 0;
  set_up(kPuromycin,
         "proc ruva data=d nthreads=4; parms theta1=200 theta2=0.1; " + std::string(kMichaelis),
         [&](RUVACOM* ctx) {
           ctx->exts.prof_ext_h = refit_driver::load_extension("qxprof");
           ctx->exts.qxrec_ext_h = refit_driver::load_extension("qxrec");
           ASSERT_TRUE(ctx->exts.prof_ext_h && ctx->exts.qxrec_ext_h);
           estimates.assign(ctx->parm, ctx->parm + 2);
           sse = ctx->sumwsse;
           std::vector<double> best = {estimates[0], kFixed}, se = {1}, from = {0}, by = {0};
           std::int32_t loc = 1;
           auto* prof = ruva_new<RUVAPROFILE_CONTROL>();
           prof->ref.ref_best_parm_vals = best.data();
           prof->comp.se = se.data();
           prof->comp.from = from.data();
           prof->comp.by = by.data();
           prof->comp.prof_parm_loc = &loc;
           ctx->ruvaprofile_control = prof;
           ASSERT_EQ(put_data_qxrec(ctx, kRefitProfile), 0);
           const QXPROF_DATA_DESC data{ctx->iobs, ctx->qxprof_block.record_size, ctx, data_reader};
           ASSERT_EQ(interface_model(ctx, &data, 1), 0);
           auto* inst = static_cast<QXPROF_INSTANCE*>(ctx->insts.prof_inst_h);
           const QXPROF_FACTORY& ops = *inst->FactoryPtr;
           auto batch = [&](int kind, std::vector<double>* parms, double* obj) {
             QXPROF_TASK_DESC task{};
             QXPROF_RESULT* result = nullptr;
             ASSERT_EQ(define_tasks(ctx, &task, 0, 1, 0, kind), 0);
             ASSERT_EQ(ops.profile(inst, nullptr), 0);
             ASSERT_EQ(ops.wait_until_done(inst, nullptr), 0);
             ASSERT_EQ(ops.get_results_by_id_array(inst, nullptr, nullptr, -1, &result), 0);
             ASSERT_GT(result->qxznlo_rc, 0);
             EXPECT_EQ(result->n_cont_obs, 12);
             parms->assign(result->parm_array, result->parm_array + 2);
             *obj = *result->obj_val_ptr;
           };
           batch(kTaskReference, &reference, &ref_sse);
           ASSERT_EQ(ops.reset(inst, nullptr, &data, 1, 0), 0);
           batch(kTaskProfilePoint, &fixed, &fixed_sse);
           close_qxrec_file(ctx);
           ctx->ruvaprofile_control = nullptr;
         });
  ASSERT_EQ(reference.size(), 2u);
  EXPECT_NEAR(reference[0], estimates[0], 1e-4 * estimates[0]);
  EXPECT_NEAR(reference[1], estimates[1], 1e-4 * estimates[1]);
  EXPECT_NEAR(ref_sse, sse, 1e-6 * sse);
  ASSERT_EQ(fixed.size(), 2u);
  EXPECT_EQ(fixed[1], kFixed);
  EXPECT_NEAR(fixed[0], held, 1e-6 * held);
  // Linear in theta1 once theta2 is fixed: the least-squares slope on conc / (theta2 + conc).
  double sxy = 0, sxx = 0;
  for (int i = 0; i < 12; ++i) {
    const double x = results_test::kConc[i] / (kFixed + results_test::kConc[i]);
    sxy += x * results_test::kRate[i];
    sxx += x * x;
  }
  EXPECT_NEAR(fixed[0], sxy / sxx, 1e-6 * held);
  EXPECT_GT(fixed_sse, sse);
}

}  // namespace
