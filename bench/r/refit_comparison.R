# What an R user runs for the refit analyses that bench/refit_large_cases.cpp
# measures, on the same data sets: MASS's profile-based confint, a
# leave-one-out nls loop and a residual bootstrap (centred residuals
# resampled, nls refitted from the estimates), each serial and, for the
# loops, with mclapply on 8 processors. Times are elapsed seconds of the
# analysis alone (after reading the data and the first fit); each line is
# the median over the rounds.
#   Rscript bench/r/refit_comparison.R DIR [ROUNDS]
# DIR holds the data sets (RUVA_REFIT_DATA=DIR build/bench_refit_large_cases
# writes them).
suppressMessages(library(MASS))
library(parallel)

args <- commandArgs(trailingOnly = TRUE)
dir <- args[1]
rounds <- if (length(args) > 1) as.integer(args[2]) else 3

models <- list(
  mm = list(formula = y ~ Vm * x / (K + x), start = c(Vm = 200, K = 0.06)),
  exp4 = list(formula = y ~ b1 * exp(-b2 * x) + b3 * exp(-b4 * x),
              start = c(b1 = 3, b2 = 1.3, b3 = 2, b4 = 0.2)))

read_data <- function(model, n) read.csv(file.path(dir, paste0(model, format(n, scientific = FALSE), ".csv")))
refit <- function(model, data, start) {
  tryCatch(coef(nls(models[[model]]$formula, data = data, start = start)),
           error = function(e) rep(NA_real_, length(start)))
}
over <- function(items, f, cores) {
  if (cores == 1) lapply(items, f) else mclapply(items, f, mc.cores = cores)
}

profile_case <- function(model, cores) {
  data <- read_data(model, 100000)
  fit <- nls(models[[model]]$formula, data = data, start = models[[model]]$start)
  system.time(confint(fit))[["elapsed"]]
}

jackknife_case <- function(model, cores) {
  data <- read_data(model, 2000)
  est <- coef(nls(models[[model]]$formula, data = data, start = models[[model]]$start))
  system.time(over(seq_len(nrow(data)), function(i) refit(model, data[-i, ], est), cores))[["elapsed"]]
}

bootstrap_case <- function(model, cores, samples = 1000) {
  data <- read_data(model, 10000)
  fit <- nls(models[[model]]$formula, data = data, start = models[[model]]$start)
  system.time({
    est <- coef(fit)
    pred <- fitted(fit)
    res <- residuals(fit)
    res <- res - mean(res)
    set.seed(1)
    draws <- lapply(seq_len(samples), function(b) sample.int(length(res), replace = TRUE))
    over(seq_len(samples), function(b) {
      sample <- data
      sample$y <- pred + res[draws[[b]]]
      refit(model, sample, est)
    }, cores)
  })[["elapsed"]]
}

cases <- list(profile = profile_case, jackknife = jackknife_case, bootstrap = bootstrap_case)
for (name in names(cases)) {
  for (model in names(models)) {
    # confint is serial: its figure stands for both.
    for (cores in if (name == "profile") 1 else c(1, 8)) {
      times <- sapply(seq_len(rounds), function(r) cases[[name]](model, cores))
      cat(sprintf("%-10s %-5s R %s %.3f s\n", name, model,
                  if (cores == 1) "serial  " else "mclapply", median(times)))
    }
  }
}
