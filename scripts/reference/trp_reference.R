# Reference values for the triplet test (engine/stats/mvntrp.*).
#
#   combn_reference.txt    for NV = 3, 4, 5, 7, 10, 13: "count NV choose(NV, 3)"
#                          and then every column of utils::combn(NV, 3), in
#                          its order ("triplet NV i j k").
#   pattern_reference.txt  for parameter vectors (b1 b2 b3 a1 a2 a3): the 8
#                          response-pattern probabilities of the one-factor
#                          normal-ogive model as trivariate normal orthant
#                          probabilities, mvtnorm::pmvnorm with TVPACK.
#                          Response 1 on item i is Z_i < -b_i / sqrt(1 + a_i^2)
#                          with corr(Z_i, Z_j) = l_i l_j, l = a / sqrt(1 + a^2).
#
# fit_reference.txt is made by scripts/reference/trp_minimum.py.
#
# Usage:  Rscript scripts/reference/trp_reference.R   (from the repository's top
# folder).  Needs r-base-core and r-cran-mvtnorm; the tests read the
# committed output and never run R.

suppressPackageStartupMessages(library(mvtnorm))

dir <- "tests/engine/golden/trp"
fmt <- function(x) trimws(formatC(x, digits = 17, format = "g"))

# Enumeration order and count.
lines <- character()
for (nv in c(3, 4, 5, 7, 10, 13)) {
  lines <- c(lines, paste("count", nv, choose(nv, 3)))
  cm <- combn(nv, 3)
  for (t in seq_len(ncol(cm))) lines <- c(lines, paste("triplet", nv, cm[1, t], cm[2, t], cm[3, t]))
}
writeLines(lines, file.path(dir, "combn_reference.txt"))

# Pattern probabilities.  Rows of the engine's pattern table.
patterns <- rbind(c(1, 1, 1), c(1, 0, 1), c(1, 1, 0), c(1, 0, 0),
                  c(0, 1, 1), c(0, 0, 1), c(0, 1, 0), c(0, 0, 0))
orthant <- function(p) {
  b <- p[1:3]
  a <- p[4:6]
  l <- a / sqrt(1 + a^2)
  cut <- -b / sqrt(1 + a^2)
  sigma <- outer(l, l)
  diag(sigma) <- 1
  # TVPACK takes lower orthants: response 0 (Z_i > cut_i) as -Z_i < -cut_i.
  sapply(seq_len(8), function(r) {
    s <- ifelse(patterns[r, ] == 1, 1, -1)
    pmvnorm(lower = rep(-Inf, 3), upper = s * cut, corr = outer(s, s) * sigma,
            algorithm = TVPACK(abseps = 1e-14))[1]
  })
}
params <- list(
  c(0, 0, 0, 0, 0, 0),
  c(0, 0, 0, 1, 1, 1),
  c(-0.5, 0.2, 0.8, 0.9, 1.2, 0.7),
  c(1.5, -1.0, 0.3, 2.0, 0.5, 1.5),
  c(0.1, 0.4, -0.3, -0.8, -1.1, -0.6),
  c(-2.0, -1.5, -2.5, 1.0, 1.3, 0.8),
  c(0.7, -0.2, 0.0, 3.0, 2.5, 0.2),
  c(0.0, 0.5, 1.0, 0.3, -0.4, 0.6)
)
lines <- character()
for (p in params) lines <- c(lines, paste(c(fmt(p), fmt(orthant(p))), collapse = " "))
writeLines(lines, file.path(dir, "pattern_reference.txt"))
