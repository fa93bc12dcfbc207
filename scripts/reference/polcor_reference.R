# Reference polychoric correlations for the engine's POLCOR tests, from
# polycor's two-step estimate: thresholds from the margins, correlation by
# maximising the likelihood of the table with the thresholds held fixed.
#
# Each output line:  ROWS COLS N(1,1) N(1,2) ... N(ROWS,COLS) RHO RHO_TIGHT
#   the counts row by row; rows are the categories of the lower-numbered
#   variable j, columns those of the higher-numbered variable i;
#   RHO        polycor::polychor(table, ML = FALSE), whose one-dimensional
#              search (optimise) stops at its default tolerance, about 1e-4;
#   RHO_TIGHT  the same likelihood (polycor's own binBvn cell probabilities,
#              the same fixed thresholds) maximised with tol = 1e-12.
#
# Usage:  Rscript scripts/reference/polcor_reference.R [output file]
# (default tests/engine/golden/polcor/polychor_reference.txt).  Needs the
# Debian packages r-base-core and r-cran-polycor; the tests read the
# committed output and never run R.

suppressPackageStartupMessages(library(polycor))

args <- commandArgs(trailingOnly = TRUE)
out <- if (length(args) >= 1) args[1] else "tests/engine/golden/polcor/polychor_reference.txt"

tables <- list(
  matrix(c(20, 10,  5,
            8, 25, 12,
            4,  9, 30), 3, 3, byrow = TRUE),
  matrix(c(30, 15,  5,
           20, 20, 10,
           10, 15, 25), 3, 3, byrow = TRUE),
  matrix(c( 5, 12, 30,
           10, 20, 15,
           25, 10,  6), 3, 3, byrow = TRUE),
  matrix(c(12,  8,  5,  2,  1,
            7, 15, 10,  6,  3,
            3,  9, 18, 12,  8,
            1,  4,  9, 16, 20), 4, 5, byrow = TRUE),
  matrix(c( 5,  9, 12, 10, 14,
            8, 10,  9, 11,  6,
           12,  7, 10,  6,  5,
           15, 11,  6,  4,  3), 4, 5, byrow = TRUE),
  matrix(c(40, 10,
           20, 30), 2, 2, byrow = TRUE)
)

tight <- function(tab) {
  r <- nrow(tab)
  c <- ncol(tab)
  n <- sum(tab)
  rc <- qnorm(cumsum(rowSums(tab)) / n)[-r]
  cc <- qnorm(cumsum(colSums(tab)) / n)[-c]
  f <- function(rho) -sum(tab * log(polycor:::binBvn(rho, rc, cc)))
  optimise(f, interval = c(-0.9999, 0.9999), tol = 1e-12)$minimum
}

lines <- c("# ROWS COLS counts (row by row) RHO RHO_TIGHT: polycor::polychor(ML = FALSE); tol 1e-12")
for (tab in tables) {
  rho <- polychor(tab, ML = FALSE)
  lines <- c(lines, paste(nrow(tab), ncol(tab), paste(as.integer(t(tab)), collapse = " "),
                          sprintf("%.17g", rho), sprintf("%.17g", tight(tab))))
}
dir.create(dirname(out), showWarnings = FALSE, recursive = TRUE)
writeLines(lines, out)
