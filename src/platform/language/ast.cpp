#include "platform/language/ast.h"

namespace platform::language {

Expr::~Expr() {
  if (args.empty()) return;
  ExprList pending = std::move(args);
  while (!pending.empty()) {
    ExprPtr e = std::move(pending.back());
    pending.pop_back();
    if (!e) continue;
    for (ExprPtr& a : e->args) pending.push_back(std::move(a));
    e->args.clear();  // so that its own destructor has nothing left to do
  }
}

}  // namespace platform::language
