// The extension "qxznlo": loaded by name through the kernel library, its
// instances minimise the caller's objective with the Newton minimiser of
// the optimisation library (znewton), through the callbacks of the
// instance's tables.
#include "host/ext_newton_minimiser_qxznlo.h"

#include "optim/newton.h"
#include "platform/kernel/kernel_library.h"

namespace platform {
namespace {

constexpr int kNewtonTechnique = 3;

struct Instance {
  NLOSTR nlo;  // first, so that the instance is its NLOSTR
  NLOTYPE_FACTORY factory;
  NLOTYPE_EXTERNAL external;
  NLOTYPE_USER_OPTIONS options;
  NLOTYPE_OBJECTIVE objective;
  NLOTYPE_WORK work;
  NLOTYPE_HESSIAN hessian;
  int size;  // the nvar that the gradient and Hessian were made for
};

Instance* of(NLOSTR* nlo) {
  return reinterpret_cast<Instance*>(nlo);
}

int reset_object(NLOSTR* nlo) {
  Instance* s = of(nlo);
  s->external = {};
  s->objective.crit = 0;
  s->work = {&s->objective.crit, 0};
  return 0;
}

int reset_options(NLOSTR*, NLOTYPE_USER_OPTIONS* o) {
  if (!o) return 1;
  *o = {};
  o->mfun = 1;
  o->tech = kNewtonTechnique;
  o->maxi = 200;
  o->maxf = 400;
  o->aftl = 1e-4;
  return 0;
}

int transfer_options(NLOSTR* nlo) {
  Instance* s = of(nlo);
  const int n = s->options.nvar > 0 ? s->options.nvar : 0;
  delete[] s->objective.grad;
  delete[] s->hessian.hess;
  s->objective.grad = new double[n]();
  s->hessian.hess = new double[static_cast<std::size_t>(n) * (n + 1) / 2]();
  s->size = n;
  return 0;
}

int value(void* user) {
  auto* nlo = static_cast<NLOSTR*>(user);
  return nlo->ExternalPtr->UserFunction(nlo);
}
int all(void* user) {
  auto* nlo = static_cast<NLOSTR*>(user);
  return nlo->ExternalPtr->UserHessianGradientAndFunction(nlo);
}

int run(NLOSTR* nlo) {
  Instance* s = of(nlo);
  const NLOTYPE_USER_OPTIONS& o = s->options;
  if (o.bounds || o.tech != kNewtonTechnique || o.nvar <= 0 || !o.xest || s->size != o.nvar ||
      !s->external.UserFunction || !s->external.UserHessianGradientAndFunction)
    return kNloBadSetup;
  s->work.nfct = 0;
  const NewtonRun r{o.nvar,
                    o.xest,
                    &s->objective.crit,
                    s->objective.grad,
                    s->hessian.hess,
                    &s->work.nfct,
                    nlo,
                    &value,
                    &all,
                    o.mini,
                    o.maxi,
                    o.maxf,
                    o.aftl};
  const int rc = znewton(r);
  switch (rc) {
    case kNewtonIterationLimit:
      return kNloIterationLimit;
    case kNewtonCallLimit:
      return kNloFunctionLimit;
    case kNewtonNoDecrease:
      return kNloNoDecrease;
    case kNewtonCallbackFailed:
      return kNloBadSetup;
    default:
      return rc;
  }
}

void destroy_instance(void* self) {
  Instance* s = of(static_cast<NLOSTR*>(self));
  delete[] s->objective.grad;
  delete[] s->hessian.hess;
  delete s;
}

NLOSTR* create_instance(NLOExtension* ext, int /*version*/) {
  auto* s = new Instance{};
  s->nlo = {{ext, "qxznlo.instance", &destroy_instance},
            &s->factory,
            &s->external,
            &s->options,
            &s->objective,
            &s->work,
            &s->hessian};
  s->factory = {&reset_object, &reset_options, &transfer_options, &run};
  reset_object(&s->nlo);
  reset_options(&s->nlo, &s->options);
  return &s->nlo;
}

void destroy_extension(void* self) {
  delete static_cast<NLOExtension*>(self);
}

void* make_extension() {
  return new NLOExtension{{nullptr, "qxznlo", &destroy_extension}, &create_instance};
}

const ExtensionRegistration kQxznlo{"qxznlo", &make_extension};

}  // namespace
}  // namespace platform
