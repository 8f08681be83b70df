#include "platform/host.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iostream>
#include <new>
#include <stdexcept>

#include "host/kernel_handle.h"
#include "platform/compiler/api.h"
#include "platform/kernel/kernel_state.h"
#include "platform/memory_reserve.h"
#include "platform/parse_session.h"
#include "platform/threads/large_stack.h"
#include "platform/services/service_table.h"

namespace platform {
namespace {
Host* g_current = nullptr;
constexpr int kVectors = 400;
constexpr int kAnchorBlockWord = 9;
constexpr int kTaskRecordWord = 10;
constexpr int kTaskPoolBudget = 0;
constexpr int kMsgOutOfMemory = 19;
constexpr int kMsgShortfall = 8;

template <class T>
HostWord word_of(T* p) {
  return reinterpret_cast<HostWord>(p);
}
}  // namespace

Host::Host(HostConfig config)
    : log_stream_(config.log ? config.log : &std::cerr),
      listing_(config.listing ? config.listing : &std::cout),
      json_(config.json),
      graphs_(config.graphs),
      log_(*log_stream_) {
  if (g_current) throw std::logic_error("only one host may run at a time");
  g_current = this;
  build_service_tables();
  log_.on_error([this] { raise_return_code(kErrorReturnCode); });

  for (int c = 0; c < 256; ++c) {
    upcase_[c] = static_cast<unsigned char>(c < 128 ? std::toupper(c) : c);
    translate_[0][c] = translate_[1][c] = translate_[4][c] = static_cast<unsigned char>(c);
    translate_[2][c] = upcase_[c];
    translate_[3][c] = static_cast<unsigned char>(c < 128 ? std::tolower(c) : c);
  }
  for (int code = 0; code <= 4; ++code) translate_list_[code + 2] = translate_[code].data();

  task_block_[kTaskRecordWord] = word_of(task_record_.data());
  task_anchor_[kAnchorBlockWord] = word_of(task_block_.data());
  words_[gcb::kServiceTables] = word_of(tables_.data());
  words_[gcb::kServiceBytes] = word_of(vector_bytes_.data());
  words_[gcb::kTaskAnchor] = word_of(task_anchor_.data());
  words_[gcb::kUpcaseTable] = word_of(upcase_.data());
  words_[gcb::kTranslateTables] = word_of(translate_list_.data());
  words_[gcb::kQXHandle] = word_of(qx_area_.data());
  words_[gcb::kAlternateAnchoring] = 0;  // alternate anchoring is not supported

  // Pools exist from the start so that tests can call services outside a step.
  task_pool_ = std::make_unique<Pool>(kTaskPoolBudget);
  step_pool_ = std::make_unique<Pool>();
  words_[gcb::kTaskPool] = word_of(task_pool_->handle());
  words_[gcb::kStepPool] = word_of(step_pool_->handle());
  open_print_file();
  task_record_[task::kSymbolTable] = word_of(&macro_scope_);
  datasets_ = std::make_unique<DataSets>(libraries_);

  kernel_ = std::make_unique<KernelState>(qx_area_.data());
  install_kernel_library(*this);
  connect_compiler_to_datasets();
  // The module's globals point at this host for the life of the host, so
  // that services can be called (in tests) before a module is loaded.
  v_global_gcb_anchor = words_.data();
  Exported_QXHandle = reinterpret_cast<QXHndlp>(qx_area_.data());
}

Host::~Host() {
  output_.reset();
  v_global_gcb_anchor = nullptr;
  Exported_QXHandle = nullptr;
  g_current = nullptr;
}

Host& Host::current() {
  if (!g_current) throw std::logic_error("no host is running");
  return *g_current;
}

bool Host::exists() { return g_current != nullptr; }

void Host::build_service_tables() {
  entries_.assign(kVectors, {});
  for (const ServiceEntry& s : service_list()) {
    auto& table = entries_.at(static_cast<std::size_t>(s.vector));
    if (table.size() <= static_cast<std::size_t>(s.entry)) table.resize(s.entry + 1, nullptr);
    if (table[s.entry]) throw std::logic_error(std::string("service entry declared twice: ") + s.name);
    table[s.entry] = s.function;
  }
  tables_.assign(kVectors, nullptr);
  for (int v = 0; v < kVectors; ++v)
    if (!entries_[v].empty()) tables_[v] = entries_[v].data();
  vector_bytes_.assign(kVectors, 0xFF);
}

void* Host::replace_service(int vector, int entry, void* fn) {
  void* old = entries_.at(vector).at(entry);
  entries_[vector][entry] = fn;
  return old;
}

void* Host::service(int vector, int entry) const { return entries_.at(vector).at(entry); }

bool Host::load_module() {
  if (!words_[gcb::kQXHandle]) {
    log_message(1, 13);
    return false;
  }
  VIMODCON* image = mcn_main(words_.data(), nullptr);
  if (!image || image->modconmagic != kModconMagic ||
      std::strncmp(image->tag, "KOV_Image_Information=", 22) != 0 || !Exported_QXHandle) {
    log_message(1, 12);
    return false;
  }
  for (WIPGMCON* const* p = image->pgmcons; p && *p; ++p)
    if (std::memcmp((*p)->name, "kovruva ", 8) == 0) procedure_ = *p;
  if (!procedure_) {
    log_message(1, 12);
    return false;
  }
  return true;
}

void Host::begin_step(const StepSource& step) {
  arm_memory_reserve();
  memory_said_ = false;
  step_ = step;
  ++step_number_;
  task_record_.fill(0);
  task_pool_ = std::make_unique<Pool>(kTaskPoolBudget);
  step_pool_ = std::make_unique<Pool>();
  words_[gcb::kTaskPool] = word_of(task_pool_->handle());
  words_[gcb::kStepPool] = word_of(step_pool_->handle());
  open_print_file();
  task_record_[task::kSymbolTable] = word_of(&macro_scope_);
  datasets_ = std::make_unique<DataSets>(libraries_);
  rc_floor_ = 0;
  end_of_task_ = nullptr;
  take_memory_shortage();
}

// A fresh print file and output service; the output of the step before
// has been rendered by then.
void Host::open_print_file() {
  output_.reset();
  print_file_ = std::make_unique<PrintFile>(*listing_, options_, &listing_pages_);
  output_ = std::make_unique<OutputService>(*print_file_, json_, step_number_, graphs_);
  task_record_[task::kPrintFile] = word_of(print_file_.get());
}

// Each part of the end runs whatever became of the one before, so that a
// shortage of memory in one (rendering what is still open, say) still
// lets the data sets the step did not finish be discarded.
int Host::end_step(int step_rc) {
  int rc = 0;
  // The end-of-task routine runs once, after the step has ended either way.
  if (auto routine = end_of_task_) {
    end_of_task_ = nullptr;
    rc = run_part([routine] {
      try {
        routine();
      } catch (const StepExit&) {
      }
    });
  }
  // The data sets the step completed are written only now, and only when
  // nothing failed it: its code, the end-of-task routine's, and the host's
  // own failures (an ERROR line, a data set that could not be written).
  const bool failed = std::max({step_rc, rc, rc_floor_.load()}) > kWarningReturnCode;
  rc = std::max(rc, run_part([this, failed] { datasets_->end_outputs(failed); }));
  rc = std::max(rc, run_part([this] { log_macro_variables(); }));
  compiler::purge_unreleased_compilers();
  forget_parsed_steps();
  // Output data sets the step did not terminate are discarded here.
  rc = std::max(rc, run_part([this] {
    datasets_.reset();
    datasets_ = std::make_unique<DataSets>(libraries_);
  }));
  if (output_) rc = std::max(rc, run_part([this] { output_->finish(); }));
  if (print_file_) print_file_->listing().flush();
  return rc;
}

void Host::log_macro_variables() {
  for (const auto& [name, value] : macros_.take_changes())
    log_message(1, 18, name.c_str(), value.c_str());
}

int Host::run_step(const StepSource& step) {
  if (!procedure_ && !load_module()) return 1012;
  return run_step_with(procedure_->ep, step);
}

template <class Part>
int Host::run_part(Part&& part) {
  try {
    part();
    return 0;
  } catch (const StepExit& e) {
    return e.rc;
  } catch (const std::bad_alloc&) {
    if (!memory_said_) log_message(1, kMsgOutOfMemory);
    memory_said_ = true;
    return kOutOfMemoryCode;
  } catch (const std::exception& e) {
    log_message(1, 11, e.what());
    return 1012;
  }
}

// The step runs on a thread with a stack for the deepest statements the
// parser accepts (see large_stack.h).
int Host::run_step_with(void (*main)(), const StepSource& step) {
  const int errors = log_.errors(), warnings = log_.warnings();
  int rc = 0;
  const int outer = run_part([&] {
    run_with_stack(kTreeStackBytes, [&] {
      rc = run_part([&] {
        begin_step(step);
        main();
      });
      rc = std::max(rc, end_step(rc));
    });
  });
  return agree_with_log(std::max({rc, outer, rc_floor_.load()}), errors, warnings);
}

int Host::agree_with_log(int rc, int errors_before, int warnings_before) {
  if (log_.errors() > errors_before) return std::max(rc, kErrorReturnCode);
  if (log_.warnings() > warnings_before) return std::max(rc, kWarningReturnCode);
  if (rc == 0) return rc;
  // A step that stops without a word after an allocation failed (or with
  // the out-of-memory code) ran short of memory: say so, with that code.
  if (const long shortage = take_memory_shortage(); shortage > 0 || rc == kOutOfMemoryCode) {
    if (shortage > 0) log_message(1, kMsgShortfall, shortage);
    else log_message(1, kMsgOutOfMemory);
    return std::max(rc, kOutOfMemoryCode);
  }
  log_message(1, rc == kWarningReturnCode ? 70 : 71, rc);
  return rc;
}

void Host::log_message(int set, int number, va_list args) {
  const Message* m = messages().find(set, number);
  if (!m) {
    log_.error(format("Message %d/%d is not in the message catalogue.", set, number));
    return;
  }
  log_.write(m->severity, vformat(m->text.c_str(), args));
}

void Host::log_message(int set, int number, ...) {
  va_list ap;
  va_start(ap, number);
  log_message(set, number, ap);
  va_end(ap);
}

}  // namespace platform
