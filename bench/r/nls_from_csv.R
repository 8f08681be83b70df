# What an R user runs for a fit from a CSV file: read.csv, then nls from the
# given starting values with its default criterion (a relative offset below
# 1e-5, as ruva's). Prints the elapsed seconds of the read and the fit, R's
# start-up excluded, and the estimates.
#   Rscript bench/r/nls_from_csv.R FILE FORMULA NAME=VALUE...
args <- commandArgs(trailingOnly = TRUE)
pairs <- strsplit(args[-(1:2)], "=", fixed = TRUE)
start <- setNames(as.numeric(sapply(pairs, `[`, 2)), sapply(pairs, `[`, 1))
formula <- as.formula(args[2])
began <- proc.time()[["elapsed"]]
data <- read.csv(args[1])
fit <- nls(formula, data = data, start = start)
cat(proc.time()[["elapsed"]] - began, coef(fit), "\n")
