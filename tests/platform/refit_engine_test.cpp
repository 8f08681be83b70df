// The refit engine "qxprof" and the record file "qxrec", loaded by name and
// driven as the procedure drives them: NIST certified estimates from
// generated model text on 1 and 8 threads (bit for bit the same), result
// order under uneven task times, tasks that fail alone, refused
// definitions, a model that reads no input, and a record file that spills.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <thread>

#include "platform/refit/record_file.h"
#include "platform/refit/refit_task.h"
#include "support/nist_problem.h"
#include "support/refit_driver.h"
#include "support/refit_fixture.h"

namespace {

using refit_driver::Data;
using refit_driver::Driver;

Data nist_data(const nist::Problem& p) {
  Data d;
  d.y = nist::column(p, "y");
  d.inputs = {"x"};
  d.columns = {nist::column(p, "x")};
  return d;
}

std::vector<std::string> parm_names(std::size_t n) {
  std::vector<std::string> names;
  for (std::size_t i = 1; i <= n; ++i) names.push_back("b" + std::to_string(i));
  return names;
}

// A full fit from the start, then the jackknife fits leaving out one of the
// first observations each.
std::vector<std::vector<double>> nist_batch(const nist::Problem& p, const std::vector<double>& start, int threads,
                                           std::vector<int>* codes) {
  Driver d(nist_data(p), refit_driver::model_text(p.model), parm_names(start.size()), threads);
  EXPECT_NE(d.instance(), nullptr);
  if (!d.instance() || d.declare() != 0) return {};
  std::vector<double> x = start;
  const int n = std::min(12, static_cast<int>(p.rows.size()));  // DanWood has 6 observations
  std::vector<std::vector<unsigned char>> skips(n, std::vector<unsigned char>((p.rows.size() + 7) / 8));
  std::vector<QXPROF_TASK_DESC> tasks;
  for (int k = 0; k < n; ++k) {
    tasks.push_back(d.task(k, x.data()));
    if (k == 0) continue;
    skips[static_cast<std::size_t>(k)][static_cast<std::size_t>(k / 8)] = static_cast<unsigned char>(0x80u >> (k % 8));
    tasks.back().skip_obs_bit_array_h = skips[static_cast<std::size_t>(k)].data();
  }
  std::vector<std::vector<double>> out;
  for (QXPROF_RESULT* r : d.run(tasks)) {
    codes->push_back(r->qxznlo_rc);
    out.emplace_back(r->parm_array, r->parm_array + start.size());
    out.back().push_back(*r->obj_val_ptr);
    out.back().push_back(static_cast<double>(r->n_cont_obs));
  }
  EXPECT_FALSE(d.reader_overlap);
  return out;
}

class RefitEngine : public RefitHostTest {};

TEST_F(RefitEngine, NistCertifiedEstimatesSameOnOneAndEightThreads) {
  const struct {
    const char* name;
    bool second_start;
  } cases[] = {{"Misra1a", false}, {"Chwirut2", false}, {"DanWood", false}, {"Lanczos3", false}, {"MGH17", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const nist::Problem p = nist::read_problem(c.name);
    const std::vector<double> start = nist::numbers(c.second_start ? p.start2 : p.start1);
    std::vector<int> codes1, codes8;
    const auto one = nist_batch(p, start, 1, &codes1);
    const auto eight = nist_batch(p, start, 8, &codes8);
    const std::size_t n_tasks = std::min<std::size_t>(12, p.rows.size());
    ASSERT_EQ(one.size(), n_tasks);
    ASSERT_EQ(eight.size(), n_tasks);
    EXPECT_EQ(codes1, codes8);
    for (std::size_t t = 0; t < one.size(); ++t)
      EXPECT_EQ(std::memcmp(one[t].data(), eight[t].data(), one[t].size() * sizeof(double)), 0) << "task " << t;
    EXPECT_GT(codes1[0], 0);
    for (std::size_t j = 0; j < start.size(); ++j)
      EXPECT_NEAR(one[0][j], p.certified[j], 1e-6 * std::fabs(p.certified[j])) << "b" << j + 1;
    EXPECT_NEAR(one[0][start.size()], p.rss, 1e-6 * p.rss);
    EXPECT_EQ(one[0][start.size() + 1], static_cast<double>(p.rows.size()));
    EXPECT_EQ(one[1][start.size() + 1], static_cast<double>(p.rows.size() - 1));
  }
}

// y = b1 + b2 x on x = 0..9 with a fixed b1 per task: b2 has a closed form.
TEST_F(RefitEngine, TaskOrderFailuresAloneAndRefusedDefinitions) {
  const Data data = refit_driver::zigzag_line();
  Driver d(data, refit_driver::model_text("b1 + b2 * x"), {"b1", "b2"}, 8);
  ASSERT_NE(d.instance(), nullptr);
  // A parameter index below 0 is refused.
  QXPROF_PARM_INFO bad[] = {{"b1", 2, -1}, {"b2", 2, 1}};
  EXPECT_NE(d.ops().define_parms(d.instance(), nullptr, bad, 2), 0);
  ASSERT_EQ(d.declare(), 0);

  const int n = 16;
  std::vector<double> starts(2 * n, 0.5);
  std::vector<QXPROF_CONSTRAINT> fixed(n), extra(2);
  std::vector<QXPROF_CONSTRAINT*> lists(2 * n);
  std::vector<QXPROF_TASK_DESC> tasks;
  for (int k = 0; k < n; ++k) {
    tasks.push_back(d.task(k, &starts[static_cast<std::size_t>(2 * k)]));
    fixed[static_cast<std::size_t>(k)] = {static_cast<double>(k), SINGLE_PARM, EQUAL, {}};
    fixed[static_cast<std::size_t>(k)].sp.index = 0;
    lists[static_cast<std::size_t>(2 * k)] = &fixed[static_cast<std::size_t>(k)];
    tasks.back().constr_type = SYM_CONSTR;
    tasks.back().constr.sym = {1, &lists[static_cast<std::size_t>(2 * k)]};
  }
  // Task 5 is infeasible (b1 = 5 and b1 <= 4); task 9's callback fails.
  extra[0] = {4.0, SINGLE_PARM, LEQ, {}};
  extra[0].sp.index = 0;
  lists[11] = &extra[0];
  tasks[5].constr.sym.n_c = 2;
  d.fail_task = 9;
  // Task 12 may evaluate the model once only: the start.
  tasks[12].nlo_u_opt.maxf = 1;
  // Task 0 takes far longer than the rest.
  d.on_response = [](std::int32_t id) {
    if (id == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  };
  // A constraint on a parameter index below 0 is refused.
  extra[1] = {0.0, SINGLE_PARM, GEQ, {}};
  extra[1].sp.index = -1;
  QXPROF_CONSTRAINT* refused[] = {&extra[1]};
  QXPROF_TASK_DESC bad_task = tasks[1];
  bad_task.constr.sym = {1, refused};
  EXPECT_NE(d.ops().define_prof_tasks(d.instance(), nullptr, &bad_task, 1), 0);

  const auto results = d.run(tasks);
  ASSERT_EQ(results.size(), static_cast<std::size_t>(n));
  double sx = 0, sxx = 0, sy = 0, sxy = 0;
  for (int i = 0; i < 10; ++i) {
    const double x = data.columns[0][static_cast<std::size_t>(i)], y = data.y[static_cast<std::size_t>(i)];
    sx += x, sxx += x * x, sy += y, sxy += x * y;
  }
  for (int k = 0; k < n; ++k) {
    SCOPED_TRACE(k);
    const QXPROF_RESULT& r = *results[static_cast<std::size_t>(k)];
    EXPECT_EQ(r.task_id, k);
    if (k == 5 || k == 9 || k == 12) {
      EXPECT_LT(r.qxznlo_rc, 0);
      if (k == 12) {
        EXPECT_EQ(r.qxznlo_rc, platform::refit::kTaskFunctionLimit);
      }
      continue;
    }
    EXPECT_GT(r.qxznlo_rc, 0);
    EXPECT_EQ(r.parm_array[0], k);
    EXPECT_NEAR(r.parm_array[1], (sxy - k * sx) / sxx, 1e-9);
  }
  EXPECT_FALSE(d.reader_overlap);
  EXPECT_GE(d.reader_calls, 1);
}

// A model that reads no input but the response: records of no length.
TEST_F(RefitEngine, ModelWithoutInputsFitsTheMean) {
  Data data;
  data.y = {3, 4, 8, 1, 9};
  Driver d(data, refit_driver::model_text("b1"), {"b1"}, 2);
  ASSERT_NE(d.instance(), nullptr);
  ASSERT_EQ(d.declare(), 0);
  double start = 0;
  const auto results = d.run({d.task(0, &start)});
  ASSERT_EQ(results.size(), 1u);
  EXPECT_GT(results[0]->qxznlo_rc, 0);
  EXPECT_NEAR(results[0]->parm_array[0], 5.0, 1e-10);
  EXPECT_NEAR(*results[0]->obj_val_ptr, 46.0, 1e-9);
  EXPECT_EQ(results[0]->n_cont_obs, 5);
}

// A character input, written as the procedure writes it after a LENGTH
// statement, picks the slope: each slope has its closed form. Text that
// does not parse is refused when the variables are declared.
TEST_F(RefitEngine, CharacterInputAndTextThatDoesNotParse) {
  Data data;
  data.inputs = {"x"};
  data.columns.resize(1);
  double sxy[2] = {}, sxx[2] = {};
  for (int i = 1; i <= 10; ++i) {
    const int b = i % 2;
    data.columns[0].push_back(i);
    data.g.push_back(b ? "b" : "a");
    data.y.push_back((b ? 3.0 : 2.0) * i + (i % 3 - 1) * 0.1);
    sxy[b] += i * data.y.back();
    sxx[b] += i * i;
  }
  const std::string text = "length g $ 8 ; if g = 'a' then s = b1 ; else s = b2 ;" + refit_driver::model_text("s * x");
  Driver d(data, text, {"b1", "b2"}, 3);
  ASSERT_NE(d.instance(), nullptr);
  ASSERT_EQ(d.declare(), 0) << log_text();
  double start[2] = {1, 1};
  const auto results = d.run({d.task(0, start)});
  ASSERT_EQ(results.size(), 1u);
  EXPECT_GT(results[0]->qxznlo_rc, 0);
  EXPECT_NEAR(results[0]->parm_array[0], sxy[0] / sxx[0], 1e-9);
  EXPECT_NEAR(results[0]->parm_array[1], sxy[1] / sxx[1], 1e-9);

  Driver bad(data, refit_driver::model_text("b1 * "), {"b1", "b2"}, 1);
  ASSERT_NE(bad.instance(), nullptr);
  EXPECT_NE(bad.declare(), 0);
  EXPECT_NE(log_text().find("Line 1, column"), std::string::npos) << log_text();

  // A variable past the end of the record is refused, and so is an engine
  // without model text.
  Driver beyond(data, text, {"b1", "b2"}, 1);
  const QXPROF_PARM_INFO parms[] = {{"b1", 2, 0}, {"b2", 2, 1}};
  ASSERT_EQ(beyond.ops().define_parms(beyond.instance(), nullptr, parms, 2), 0);
  QXPROF_VAR_INFO past{};
  past.type = DATASET_VAR;
  past.numeric = true;
  past.byte_len = 8;
  past.u.offset = 16;  // the record holds x and g: 16 bytes
  past.name_s = {"x", 1};
  EXPECT_NE(beyond.ops().define_vars(beyond.instance(), nullptr, &past, 1), 0);
  auto* ext = static_cast<QXPROF_EXTENSION*>(refit_driver::load_extension("qxprof"));
  const QXPROF_PARMS no_text{};
  EXPECT_EQ(ext->create_instance(ext, nullptr, &no_text), nullptr);
  ext->gen.destroy(ext);
}

// The operations the procedure does not call keep their contract: a batch
// can be watched and stopped, and its results read by task id.
TEST_F(RefitEngine, ABatchCanBeWatchedStoppedAndReadByTaskId) {
  static std::atomic<bool> release;
  release = false;
  Driver d(refit_driver::zigzag_line(), refit_driver::model_text("b1 + b2 * x"), {"b1", "b2"}, 1);
  ASSERT_EQ(d.declare(), 0);
  d.on_response = [](std::int32_t id) {
    while (id == 0 && !release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  std::vector<double> start(2, 0.5);
  std::vector<QXPROF_TASK_DESC> tasks;
  for (int k = 0; k < 4; ++k) tasks.push_back(d.task(k, start.data()));
  QXPROF_FACTORY& ops = d.ops();
  ASSERT_EQ(ops.define_prof_tasks(d.instance(), nullptr, tasks.data(), 4), 0);
  ASSERT_EQ(ops.profile(d.instance(), nullptr), 0);
  EXPECT_EQ(ops.check_done(d.instance(), nullptr), 1);  // task 0 waits for its response
  EXPECT_EQ(ops.wait_for_some_time_and_check_done(d.instance(), nullptr, 5), 1);
  QXPROF_RESULT* early[1];
  EXPECT_NE(ops.get_results_by_id_array(d.instance(), nullptr, nullptr, -1, early), 0);
  EXPECT_EQ(ops.stop(d.instance(), nullptr), 0);
  release = true;
  EXPECT_EQ(ops.wait_until_done(d.instance(), nullptr), 0);
  EXPECT_EQ(ops.check_done(d.instance(), nullptr), 0);
  EXPECT_EQ(ops.wait_for_some_time_and_check_done(d.instance(), nullptr, 0), 0);
  const std::int32_t ids[] = {3, 0};
  QXPROF_RESULT* picked[2] = {};
  ASSERT_EQ(ops.get_results_by_id_array(d.instance(), nullptr, ids, 2, picked), 0);
  EXPECT_EQ(picked[0]->task_id, 3);
  EXPECT_EQ(picked[0]->qxznlo_rc, platform::refit::kTaskStopped);  // never begun
  EXPECT_EQ(picked[1]->task_id, 0);
  EXPECT_EQ(picked[1]->qxznlo_rc, platform::refit::kTaskStopped);  // stopped at its next pass
  const std::int32_t unknown[] = {9};
  EXPECT_NE(ops.get_results_by_id_array(d.instance(), nullptr, unknown, 1, picked), 0);
  EXPECT_EQ(ops.set_foreign_event_for_plw_gate(d.instance(), nullptr, nullptr), 0);
  EXPECT_NE(ops.set_foreign_event_for_plw_gate(nullptr, nullptr, nullptr), 0);
  EXPECT_NE(ops.stop(nullptr, nullptr), 0);
  EXPECT_EQ(ops.check_done(nullptr, nullptr), 0);
  EXPECT_EQ(ops.wait_for_some_time_and_check_done(nullptr, nullptr, 0), 0);
}

// A million records of three doubles against a limit of 64 kB: the memory
// part stops at the limit, the rest goes to the temporary file, and every
// record reads back as written.
TEST(RecordFile, KeepsItsMemoryLimitAndSpills) {
  const std::int64_t n = 1'000'000, limit = 65536;
  platform::refit::RecordFile f(24, limit);
  for (std::int64_t i = 0; i < n; ++i) {
    const double r[3] = {static_cast<double>(i), -static_cast<double>(i), 0.5 * static_cast<double>(i)};
    ASSERT_EQ(f.add(r), 0);
  }
  EXPECT_EQ(f.count(), n);
  EXPECT_EQ(f.in_memory(), limit / 24);
  EXPECT_LE(f.memory_bytes(), static_cast<std::size_t>(limit));
  for (std::int64_t i : {std::int64_t{0}, limit / 24 - 1, limit / 24, n / 2, n - 1}) {
    double r[3];
    ASSERT_EQ(f.load(i, r), 0);
    EXPECT_EQ(r[0], static_cast<double>(i));
    EXPECT_EQ(r[2], 0.5 * static_cast<double>(i));
  }
  double r[3];
  EXPECT_NE(f.load(n, r), 0);
  platform::refit::RecordFile empty(0, 0);
  EXPECT_EQ(empty.add(nullptr), 0);
  EXPECT_EQ(empty.load(0, nullptr), 0);
  EXPECT_NE(empty.load(1, nullptr), 0);
}

// A spill file that cannot be written gives the system's reason, whether
// an append fills the stream's buffer or a read needs the records still in
// it (files over 1000 bytes fail here; the buffer holds more).
TEST(RecordFile, ASpillThatCannotBeWrittenKeepsTheSystemsReason) {
  rlimit before;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = 1000;
  auto* const handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const double r = 1;
  platform::refit::RecordFile appended(8, 8), read(8, 8);
  int added = 0;
  while (added < 100000 && appended.add(&r) == 0) ++added;
  for (int i = 0; i < 200; ++i) read.add(&r);
  double back = 0;
  const int loaded = read.load(199, &back);
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, handler);
  EXPECT_LT(added, 100000);
  EXPECT_EQ(appended.write_error(), EFBIG);
  EXPECT_EQ(read.count(), 200);  // all held in the buffer
  EXPECT_NE(loaded, 0);
  EXPECT_EQ(read.write_error(), EFBIG);
}

}  // namespace
