#include "platform/compiler/block_plan.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/compiler/executor.h"

namespace platform::compiler {
namespace {

enum class Shape { Unary, Binary, Fused, Product, Many, Other };

// How an operation reads its operands; Other: the operation does not qualify.
Shape shape_of(Op op) {
  switch (op) {
    case Op::Sqr: case Op::Neg: case Op::Not: case Op::Call1:
      return Shape::Unary;
    case Op::Add: case Op::Sub: case Op::Mul: case Op::Div: case Op::Pow: case Op::NMul:
    case Op::MinOp: case Op::MaxOp: case Op::Eq: case Op::Ne: case Op::Lt: case Op::Le:
    case Op::Gt: case Op::Ge: case Op::And: case Op::Or: case Op::Call2:
      return Shape::Binary;
    case Op::MulAdd: case Op::MulSub: case Op::SubMul:
      return Shape::Fused;
    case Op::CallMul: case Op::CallNMul:
      return Shape::Product;
    case Op::CallN:
      return Shape::Many;
    default:
      return Shape::Other;
  }
}

bool calls(Op op) {
  return op == Op::Call1 || op == Op::Call2 || op == Op::CallN || op == Op::CallMul || op == Op::CallNMul;
}

class Planner {
 public:
  Planner(const Program& p, const BlockFrame& f, BlockPlan* plan) : p_(p), f_(f), plan_(*plan) {
    for (int cell : f.externals) externals_.insert(cell);
    for (int cell : f.changing) changing_.insert(cell);
    for (const CellInit& init : p.pass_inits) retained_.insert(init.cell);
    for (int cell : p.reset_cells) reset_.insert(cell);
    for (int cell : f.observed) {
      observed_.insert(cell);
      current_[cell] = live_in(cell, BlockSource::Observed);
    }
  }

  // Follows segment 0 from its entry to its end; false at anything that
  // does not qualify. A LINK is followed into its routine and back, as the
  // run goes; one that would reach the run's limit of nested LINKs does not
  // qualify, nor does a run of more than kMaxSteps instructions (routines
  // that LINK routines many times over).
  bool walk(int derivatives) {
    constexpr long kMaxSteps = 100000;
    int pc = p_.entry[0];
    std::vector<int> links;  // where each RETURN goes back to
    for (long step = 0; step < kMaxSteps; ++step) {
      if (pc < 0 || pc >= static_cast<int>(p_.code.size())) return false;
      const Instr& in = p_.code[static_cast<std::size_t>(pc)];
      switch (in.op) {
        case Op::Halt:
          return true;
        case Op::Return:  // outside a LINK: the run ends
          if (links.empty()) return true;
          pc = links.back();
          links.pop_back();
          break;
        case Op::Link:
          if (in.a <= pc || static_cast<int>(links.size()) == kLinkDepth) return false;
          links.push_back(pc + 1);
          pc = in.a;
          break;
        case Op::Jmp:
          if (in.a <= pc) return false;
          pc = in.a;
          break;
        case Op::SkipDer:
          if (in.a <= pc) return false;
          pc = derivatives > in.b ? pc + 1 : in.a;
          break;
        default:
          if (!instruction(in)) return false;
          ++pc;
      }
    }
    return false;
  }

  void finish() {
    for (const auto& [cell, value] : current_)
      if ((written_.count(cell) || observed_.count(cell)) && !temporary(cell)) plan_.kept.emplace_back(cell, value);
    std::sort(plan_.kept.begin(), plan_.kept.end());
    int scalars = 0;
    for (BlockValue& v : plan_.values)
      if (!v.varying) v.index = scalars++;
    plan_.scalars = scalars;
    assign_columns();
    mark_checks();
  }

 private:
  bool instruction(const Instr& in) {
    if (in.op == Op::Mov) return write(in.a, read(in.b));
    const Shape shape = shape_of(in.op);
    const int fn = calls(in.op) ? in.d : 0;
    switch (shape) {
      case Shape::Unary:
        return compute(in, fn, {read(in.b)});
      case Shape::Binary:
      case Shape::Product:
        return compute(in, fn, {read(in.b), read(in.c)});
      case Shape::Fused:
        return compute(in, fn, {read(in.b), read(in.c), read(in.d)});
      case Shape::Many: {
        std::vector<int> args;
        for (int i = 0; i < in.c; ++i) args.push_back(read(in.b + i));
        return compute(in, fn, std::move(args));
      }
      default:
        return false;
    }
  }

  int live_in(int cell, BlockSource source) {
    BlockValue v;
    v.source = source;
    v.varying = source == BlockSource::Observed;
    v.cell = cell;
    plan_.values.push_back(v);
    const int id = static_cast<int>(plan_.values.size()) - 1;
    if (source == BlockSource::Observed) plan_.observed.push_back(id);
    return id;
  }

  // The value a cell holds at this point of the run.
  int read(int cell) {
    auto it = current_.find(cell);
    if (it != current_.end()) return it->second;
    if (changing_.count(cell)) ok_ = false;
    read_first_.insert(cell);
    const BlockSource source = externals_.count(cell) ? BlockSource::External
                               : reset_.count(cell)   ? BlockSource::Missing
                                                      : BlockSource::Frame;
    const int id = live_in(cell, source);
    current_[cell] = id;
    return id;
  }

  // A store into a cell: refused for a cell whose value outlives the run
  // (retained, or kept by the procedure) and for a cell read before it.
  bool write(int cell, int value) {
    if (!ok_ || externals_.count(cell) || retained_.count(cell)) return false;
    if (read_first_.count(cell) && !observed_.count(cell)) return false;
    written_.insert(cell);
    current_[cell] = value;
    return true;
  }

  bool compute(const Instr& in, int fn, std::vector<int> operands) {
    if (!ok_) return false;
    std::vector<int> key = {static_cast<int>(in.op), fn};
    key.insert(key.end(), operands.begin(), operands.end());
    auto it = known_.find(key);
    if (it != known_.end()) return write(in.a, it->second);
    BlockOp op;
    op.op = in.op;
    op.fn = fn;
    bool varying = false;
    for (int v : operands) {
      BlockValue& value = plan_.values[static_cast<std::size_t>(v)];
      value.operand = true;
      varying = varying || value.varying;
    }
    if (in.op == Op::CallN) {
      op.x = static_cast<int>(plan_.args.size());
      op.y = static_cast<int>(operands.size());
      plan_.args.insert(plan_.args.end(), operands.begin(), operands.end());
    } else {
      op.x = operands[0];
      op.y = operands.size() > 1 ? operands[1] : -1;
      op.z = operands.size() > 2 ? operands[2] : -1;
    }
    BlockValue result;
    result.varying = varying;
    plan_.values.push_back(result);
    op.result = static_cast<int>(plan_.values.size()) - 1;
    (varying ? plan_.varying_ops : plan_.uniform_ops).push_back(op);
    known_.emplace(std::move(key), op.result);
    return write(in.a, op.result);
  }

  // Columns for the varying values: the observed values take the first
  // ones, in gathering order; a computed value takes a column that no value
  // still to be read holds, so that a block's columns stay few.
  void assign_columns() {
    const int last_op = static_cast<int>(plan_.varying_ops.size());
    std::vector<int> last(plan_.values.size(), -1);  // the last operation reading each value
    for (int k = 0; k < last_op; ++k)
      for_operands(plan_.varying_ops[static_cast<std::size_t>(k)], [&](int v) { last[static_cast<std::size_t>(v)] = k; });
    for (const auto& [cell, v] : plan_.kept) last[static_cast<std::size_t>(v)] = last_op;
    int columns = 0;
    for (int v : plan_.observed) plan_.values[static_cast<std::size_t>(v)].index = columns++;
    std::vector<int> free;
    for (int k = 0; k < last_op; ++k) {
      const BlockOp& op = plan_.varying_ops[static_cast<std::size_t>(k)];
      int column = columns;
      if (free.empty()) ++columns;
      else column = free.back(), free.pop_back();
      plan_.values[static_cast<std::size_t>(op.result)].index = column;
      const auto release = [&](int v) {
        const BlockValue& value = plan_.values[static_cast<std::size_t>(v)];
        if (value.varying && value.source == BlockSource::Computed && last[static_cast<std::size_t>(v)] <= k) {
          free.push_back(value.index);
          last[static_cast<std::size_t>(v)] = last_op + 1;  // released once
        }
      };
      for_operands(op, release);
      release(op.result);  // a value no one reads
    }
    plan_.columns = columns;
  }

  // A result need not be looked at when it is neither kept nor unread and
  // every reader passes a value that is not finite on to its own result.
  void mark_checks() {
    std::vector<char> must(plan_.values.size(), 0), read(plan_.values.size(), 0);
    for (const auto& [cell, v] : plan_.kept) must[static_cast<std::size_t>(v)] = 1;
    for (const BlockOp& op : plan_.varying_ops) {
      int position = 0;
      for_operands(op, [&](int v) {
        read[static_cast<std::size_t>(v)] = 1;
        if (!passes_on(op.op, position++)) must[static_cast<std::size_t>(v)] = 1;
      });
    }
    for (BlockOp& op : plan_.varying_ops) {
      const auto r = static_cast<std::size_t>(op.result);
      op.checked = must[r] || !read[r];
    }
  }

  // Whether a value that is not finite as operand `position` of `op` always
  // gives a result that is not finite (IEEE sums, differences and products;
  // a quotient's numerator, not its divisor).
  static bool passes_on(Op op, int position) {
    switch (op) {
      case Op::Add: case Op::Sub: case Op::Mul: case Op::Sqr: case Op::NMul: case Op::Neg:
      case Op::MulAdd: case Op::MulSub: case Op::SubMul:
        return true;
      case Op::Div:
        return position == 0;
      default:
        return false;
    }
  }

  template <class F>
  void for_operands(const BlockOp& op, F f) const {
    if (op.op == Op::CallN) {
      for (int k = 0; k < op.y; ++k) f(plan_.args[static_cast<std::size_t>(op.x + k)]);
      return;
    }
    for (int v : {op.x, op.y, op.z})
      if (v >= 0) f(v);
  }

  bool temporary(int cell) const {
    return cell >= 0 && static_cast<std::size_t>(cell) < f_.temporary.size() && f_.temporary[static_cast<std::size_t>(cell)];
  }

  const Program& p_;
  const BlockFrame& f_;
  BlockPlan& plan_;
  bool ok_ = true;
  std::unordered_map<int, int> current_;  // cell -> the value it holds now
  std::unordered_set<int> observed_, externals_, changing_, retained_, reset_, read_first_, written_;
  std::map<std::vector<int>, int> known_;  // operation and operands -> value
};

}  // namespace

bool plan_block(const Program& p, int derivatives, const BlockFrame& frame, BlockPlan* plan) {
  *plan = BlockPlan{};
  Planner planner(p, frame, plan);
  if (!planner.walk(derivatives)) return false;
  planner.finish();
  return true;
}

}  // namespace platform::compiler
