// Where the data pass reads an observation's values once the program ran
// for it: the cells the special variables and derivatives are bound to, or,
// for an observation of a block the program ran over, the block's columns.
#pragma once

#include <vector>

#include "host/services.h"
#include "procedure/loss_terms.h"
#include "procedure/procedure_context.h"

// The values in the cells, after a run of the observation alone.
struct CellValues {
  const RUVACOM* ctx;
  double predicted() const { return *ctx->dephat; }
  double dependent() const { return *ctx->depval; }
  double weight() const { return *ctx->weight; }
  double wgtjpj() const { return *ctx->wgtjpj; }
  double loss() const { return *ctx->loss; }
  double resid() const { return *ctx->resid; }
  double derivative(int i) const { return *ctx->derloc[i]; }
  double second(long k) const { return *ctx->hessptr[k]; }
  double loss_first(int i) const { return *ctx->loss_terms->loss1[i]; }
  double loss_second(long k) const { return *ctx->loss_terms->loss2[k]; }
  double weight_first(int i) const { return *ctx->loss_terms->weight1[i]; }
  double weight_second(long k) const { return *ctx->loss_terms->weight2[k]; }
  double coefficient(int k) const { return *ctx->loss_terms->coefficients[k]; }
  double vector_value(long k) const { return *ctx->loss_terms->vectors[k]; }
};

// A value of every observation of a block: a column (stride 1) or one place
// (stride 0).
struct BlockPlace {
  const double* p;
  long stride;
  double at(int row) const { return p[row * stride]; }
};

// The places of the values the pass reads, found once per pass (the object
// is kept from pass to pass for its storage).
struct BlockColumns {
  BlockPlace predicted, dependent, weight, wgtjpj, loss, resid;
  std::vector<BlockPlace> derivatives, seconds;
  std::vector<BlockPlace> loss_firsts, loss_seconds, weight_firsts, weight_seconds;  // when loss terms are summed
  std::vector<BlockPlace> coefficients, vectors;                                    // factored, when summed

  void find(RUVACOM* ctx, bool second, const LossTerms* terms) {
    predicted = place(ctx, ctx->dephat);
    dependent = place(ctx, ctx->depval);
    weight = place(ctx, ctx->weight);
    wgtjpj = place(ctx, ctx->wgtjpj);
    loss = place(ctx, ctx->loss);
    resid = place(ctx, ctx->resid);
    derivatives.clear();
    seconds.clear();
    for (int i = 0; i < ctx->nparm; ++i) derivatives.push_back(place(ctx, ctx->derloc[i]));
    const long packed = static_cast<long>(ctx->nparm) * (ctx->nparm + 1) / 2;
    if (second)
      for (long k = 0; k < packed; ++k) seconds.push_back(place(ctx, ctx->hessptr[k]));
    places(ctx, terms ? terms->loss1 : nullptr, ctx->nparm, &loss_firsts);
    places(ctx, terms ? terms->loss2 : nullptr, packed, &loss_seconds);
    places(ctx, terms ? terms->weight1 : nullptr, ctx->nparm, &weight_firsts);
    places(ctx, terms ? terms->weight2 : nullptr, packed, &weight_seconds);
    places(ctx, terms ? terms->coefficients : nullptr, terms ? terms->nproducts : 0, &coefficients);
    places(ctx, terms ? terms->vectors : nullptr, terms ? static_cast<long>(terms->nvectors) * ctx->nparm : 0,
           &vectors);
  }

  // The places of `count` cells, none when `cells` is null.
  static void places(RUVACOM* ctx, double* const* cells, long count, std::vector<BlockPlace>* out) {
    out->clear();
    for (long k = 0; cells && k < count; ++k) out->push_back(place(ctx, cells[k]));
  }

  static BlockPlace place(RUVACOM* ctx, const double* cell) {
    BlockPlace p{cell, 0};
    p.p = cmpbval(cell, &p.stride, &ctx->globcmp);
    return p;
  }
};

// The values of one observation of a block that ran.
struct BlockValues {
  const BlockColumns* c;
  int row;
  double predicted() const { return c->predicted.at(row); }
  double dependent() const { return c->dependent.at(row); }
  double weight() const { return c->weight.at(row); }
  double wgtjpj() const { return c->wgtjpj.at(row); }
  double loss() const { return c->loss.at(row); }
  double resid() const { return c->resid.at(row); }
  double derivative(int i) const { return c->derivatives[static_cast<std::size_t>(i)].at(row); }
  double second(long k) const { return c->seconds[static_cast<std::size_t>(k)].at(row); }
  double loss_first(int i) const { return c->loss_firsts[static_cast<std::size_t>(i)].at(row); }
  double loss_second(long k) const { return c->loss_seconds[static_cast<std::size_t>(k)].at(row); }
  double weight_first(int i) const { return c->weight_firsts[static_cast<std::size_t>(i)].at(row); }
  double weight_second(long k) const { return c->weight_seconds[static_cast<std::size_t>(k)].at(row); }
  double coefficient(int k) const { return c->coefficients[static_cast<std::size_t>(k)].at(row); }
  double vector_value(long k) const { return c->vectors[static_cast<std::size_t>(k)].at(row); }
};
