#!/usr/bin/env Rscript
# Reference factor scores from psych::factor.scores, for the tests of
# REGSCR and BARSCR.  Run once from the repository root; the output is
# committed and the tests never run R:
#   Rscript scripts/reference/factor_scores_reference.R > tests/engine/golden/factor_scores_reference.txt
# Needs r-base-core, r-cran-psych and r-cran-gparotation.
#
# For two data sets (the example job's twelve items, and the ten scores of
# tests/engine/jobs/scores) the principal-axes solution of psych::fa is
# rotated by Varimax, Oblimin and Promax.  Each case gives the loadings
# handed to the score routine (regression: the structure P Phi; Bartlett:
# the pattern P), the communalities diag(P Phi P'), psych's weights, the
# scores standardised with the divisor N - 1 (psych leaves them as
# Z W), and the correlations of the factors with their estimates:
# diag(W' S) / sd(Z W) for regression, the closed form 1 / sd(Z W) for
# Bartlett.  A last case per data set holds all principal components, whose
# regression scores equal Bartlett scores.
suppressPackageStartupMessages({
  library(psych)
  library(GPArotation)
})

emit <- function(label, m) {
  m <- as.matrix(m)
  cat(label, nrow(m), ncol(m), "\n")
  for (i in seq_len(nrow(m))) cat(sprintf("%.17g", m[i, ]), "\n")
}

case <- function(name, file, x, method, loadings, h2, w) {
  z <- scale(x)
  raw <- z %*% w
  sd_raw <- apply(raw, 2, sd)
  v <- if (method == "REG") diag(t(w) %*% loadings) / sd_raw else 1 / sd_raw
  cat("case", name, file, ncol(x), nrow(x), ncol(w), method, "\n")
  emit("L", loadings)
  emit("H2", h2)
  emit("W", w)
  emit("V", t(v))
  emit("S", scale(raw))
}

data_sets <- list(
  list(name = "example", file = "../examples/example.dat", nfac = 2),
  list(name = "three", file = "engine/jobs/scores/three.dat", nfac = 3)
)

cat("# written by scripts/reference/factor_scores_reference.R with psych", format(packageVersion("psych")), "\n")
for (d in data_sets) {
  # File names are relative to tests/; the script runs from the root.
  x <- as.matrix(read.table(file.path("tests", d$file))[, -1])
  colnames(x) <- NULL
  for (rotation in c("varimax", "oblimin", "promax")) {
    f <- fa(x, nfactors = d$nfac, fm = "pa", rotate = rotation, max.iter = 500, min.err = 1e-10)
    p <- unclass(f$loadings)
    phi <- if (is.null(f$Phi)) diag(d$nfac) else f$Phi
    h2 <- diag(p %*% phi %*% t(p))
    reg <- factor.scores(x, f, method = "Thurstone")
    bart <- factor.scores(x, f, method = "Bartlett")
    case(paste(d$name, rotation, sep = "_"), d$file, x, "REG", p %*% phi, h2, reg$weights)
    case(paste(d$name, rotation, sep = "_"), d$file, x, "BART", p, h2, bart$weights)
  }
  pc <- principal(x, nfactors = ncol(x), rotate = "none")
  l <- unclass(pc$loadings)
  reg <- factor.scores(x, l, method = "Thurstone")
  case(paste(d$name, "components", sep = "_"), d$file, x, "REG", l, rowSums(l^2), reg$weights)
}
cat("end\n")
