#include "results/variable_texts.h"

#include <algorithm>

#include "host/services.h"
#include "procedure/procedure_context.h"

SymbolTexts symbol_texts(const RUVACOM* ctx, const CMPSYM* sym) {
  SymbolTexts t;
  t.name.assign(sym->name, static_cast<std::size_t>(sym->nameleng));
  t.label = t.short_label = t.name;
  int varnum = 0;
  NAMESTR desc{};
  if (!ctx->fiddata || xvfind(ctx->fiddata, sym->name, sym->nameleng, &varnum, 0) != 0 ||
      xvname(ctx->fiddata, varnum, &desc) != 0)
    return t;
  t.varnum = varnum;
  t.name.assign(desc.name, static_cast<std::size_t>(desc.namelen));
  t.label = t.short_label = t.name;
  // A blank label is no label.
  const int length = std::max(desc.labellen, 0);
  if (desc.label && std::any_of(desc.label, desc.label + length, [](char c) { return c != ' '; })) {
    t.label.assign(desc.label, static_cast<std::size_t>(length));
    if (length < desc.namelen) t.short_label = t.label;
  }
  return t;
}

xobskey text_of(const std::string& s) { return yoltxt(s.data(), static_cast<int>(s.size())); }
