#!/usr/bin/env Rscript
# Reference quantiles from R's quantile(type = 6), the (n+1)p-th order
# statistic, for the tests of DEQTIL.  Run once from the repository root;
# the output is committed and the tests never run R:
#   Rscript scripts/reference/quantile_reference.R > tests/numlib/golden/quantile_reference.txt
set.seed(4108)

samples <- list(
  unsorted_10 = round(rnorm(10), 3),
  sorted_11 = sort(round(runif(11, -5, 5), 2)),
  ties_12 = c(3, 1, 2, 2, 2, 5, 1, 3, 3, 4, 2, 2),
  missing_inside = c(4.5, NA, 1.25, 7, NA, -2, 3.5, NA, 0.5),
  missing_at_end = c(-1, 0, 0, 2.5, 8, NA, NA),
  reversed_50 = rev(sort(round(rexp(50), 4))),
  normal_200 = rnorm(200),
  single = c(NA, 42.5, NA)
)
proportions <- list(
  mixed = c(0.5, 0.05, 0.95, 0.25, 0.75, 0.333),
  lower = c(0.05, 0.19, 0.1, 0.01),
  upper = c(0.8, 0.99, 0.9, 0.85),
  extremes = c(0.001, 0.999)
)

cat("# quantile references: R", format(getRversion()), "quantile(type = 6)\n")
for (sname in names(samples)) {
  x <- samples[[sname]]
  for (pname in names(proportions)) {
    p <- proportions[[pname]]
    q <- quantile(x, p, type = 6, na.rm = TRUE, names = FALSE)
    cat("case", paste(sname, pname, sep = "/"), length(x), length(p), sum(is.na(x)), "\n")
    cat("X", ifelse(is.na(x), "NaN", sprintf("%.17g", x)), "\n")
    cat("P", sprintf("%.17g", p), "\n")
    cat("Q", sprintf("%.17g", q), "\n")
  }
}
cat("end\n")
