#include "platform/language/ast.h"

#include <new>

namespace platform::language {

Expr::~Expr() {
  if (args.empty()) return;
  ExprList pending = std::move(args);
  try {
    while (!pending.empty()) {
      ExprPtr e = std::move(pending.back());
      pending.pop_back();
      if (!e) continue;
      for (ExprPtr& a : e->args) pending.push_back(std::move(a));
      e->args.clear();  // so that its own destructor has nothing left to do
    }
  } catch (const std::bad_alloc&) {
    // No room to lengthen the list: what is left goes one level at a time,
    // each node's own destructor trying again, on the step's deep stack.
  }
}

}  // namespace platform::language
