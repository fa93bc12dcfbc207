# Reference tetrachoric correlations and standard errors for the engine's
# TETCOR tests, from polycor's two-step estimate (thresholds from the
# margins, correlation by maximum likelihood), on 2 x 2 tables without an
# empty cell.
#
# Each output line: N00 N01 N10 N11 RHO SE, where for items j < i
#   N00  neither keyed      N01  j keyed, i not
#   N10  i keyed, j not     N11  both keyed
# The table handed to polychor has j for rows and i for columns, not keyed
# first.
#
# Usage:  Rscript scripts/reference/tetcor_reference.R [output file]
# (default tests/engine/golden/tetcor/polychor_reference.txt).  Needs the
# Debian packages r-base-core and r-cran-polycor; the tests read the
# committed output and never run R.

suppressPackageStartupMessages(library(polycor))

args <- commandArgs(trailingOnly = TRUE)
out <- if (length(args) >= 1) args[1] else "tests/engine/golden/tetcor/polychor_reference.txt"

tables <- list(
  c(40, 10, 20, 30),
  c(25, 25, 25, 25),
  c(30, 20, 20, 30),
  c(10, 40, 35, 15),
  c(120, 35, 28, 217),
  c(200, 30, 25, 145),
  c(61, 17, 44, 78),
  c(7, 21, 19, 53),
  c(500, 250, 180, 70),
  c(80, 15, 12, 93),
  c(1500, 700, 820, 1980),
  c(12, 9, 11, 8),
  # The guessing-corrected table of the tests (raw 30 15 20 35, c = 0.2 for
  # item j and 0.25 for item i), corrected by hand.
  c(50, 10, 12.5, 27.5)
)

lines <- c("# N00 N01 N10 N11 RHO SE: polycor::polychor(ML = FALSE, std.err = TRUE)")
for (cells in tables) {
  tab <- matrix(c(cells[1], cells[2], cells[3], cells[4]), 2, 2)
  fit <- polychor(tab, ML = FALSE, std.err = TRUE)
  lines <- c(lines, sprintf("%g %g %g %g %.10f %.10f", cells[1], cells[2], cells[3], cells[4],
                            fit$rho, sqrt(fit$var[1, 1])))
}
writeLines(lines, out)
