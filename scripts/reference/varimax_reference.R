#!/usr/bin/env Rscript
# Reference solutions of the Varimax rotation with Kaiser normalisation from
# R's stats::varimax(normalize = TRUE), for the tests of the Varimax stage.
# The factors are then put in the engine's order and sign: descending sum of
# squared loadings (ties keep their order), and a factor reflected when the
# signed sum of its squared loadings is negative.  Run once from the
# repository root; the output is committed and the tests never run R:
#   Rscript scripts/reference/varimax_reference.R > tests/engine/golden/varimax_reference.txt
# Needs r-base-core and r-cran-gparotation (for the Harman data).
suppressPackageStartupMessages(library(GPArotation))

pc_loadings <- function(r, nf) {
  e <- eigen(r, symmetric = TRUE)
  l <- e$vectors[, 1:nf, drop = FALSE] %*% diag(sqrt(e$values[1:nf]), nf)
  for (j in 1:nf) if (l[which.max(abs(l[, j])), j] < 0) l[, j] <- -l[, j]
  l
}

order_and_reflect <- function(a) {
  ss <- colSums(a^2)
  a <- a[, order(-ss), drop = FALSE]
  for (j in seq_len(ncol(a))) if (sum(sign(a[, j]) * a[, j]^2) < 0) a[, j] <- -a[, j]
  a
}

data(Harman, package = "GPArotation")
inputs <- list(
  harman8 = unclass(Harman8),
  harman74 = pc_loadings(datasets::Harman74.cor$cov, 4),
  harman74_5 = pc_loadings(datasets::Harman74.cor$cov, 5),
  ability = pc_loadings(cov2cor(datasets::ability.cov$cov), 2),
  ability_3 = pc_loadings(cov2cor(datasets::ability.cov$cov), 3)
)

emit <- function(label, m) {
  cat(label, "\n", sep = "")
  for (i in seq_len(nrow(m))) cat(sprintf("%.17g", m[i, ]), "\n")
}

cat("# Varimax references: R", format(getRversion()), "stats::varimax(normalize = TRUE, eps = 1e-14)\n")
for (name in names(inputs)) {
  l <- inputs[[name]]
  # varimax() stops at the first sweep that does not improve the criterion
  # by a factor 1 + eps, which on a flat stretch can be early: restart it
  # from its own result until the loadings stop moving.
  a <- unclass(varimax(l, normalize = TRUE, eps = 1e-14)$loadings)
  for (restart in 1:500) {
    b <- unclass(varimax(a, normalize = TRUE, eps = 1e-14)$loadings)
    moved <- max(abs(b - a))
    a <- b
    if (moved < 1e-15) break
  }
  a <- order_and_reflect(a)
  cat("case", name, nrow(l), ncol(l), "\n")
  emit("L", l)
  emit("A", a)
}
cat("end\n")
