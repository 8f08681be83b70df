// The probability distributions and special functions, all in one include.
#pragma once

#include "prob/beta_engine.h"
#include "prob/incomplete_beta.h"
#include "prob/inverse_gaussian.h"
#include "prob/log_gamma.h"
#include "prob/log_sum_exp.h"
#include "prob/multivariate_gamma.h"
#include "prob/normal.h"
#include "prob/normal_mixture.h"
#include "prob/quadrature.h"
#include "prob/t_f_beta.h"
