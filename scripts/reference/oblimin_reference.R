#!/usr/bin/env Rscript
# Reference solutions of the direct oblimin rotation from GPArotation's
# oblimin(normalize = TRUE), for the tests of DFDOBL.  Run once from the
# repository root; the output is committed and the tests never run R:
#   Rscript scripts/reference/oblimin_reference.R > tests/numlib/golden/oblimin_reference.txt
# Needs r-base-core and r-cran-gparotation.
suppressPackageStartupMessages(library(GPArotation))

# Unrotated principal-component loadings of a correlation matrix.
pc_loadings <- function(r, nf) {
  e <- eigen(r, symmetric = TRUE)
  l <- e$vectors[, 1:nf, drop = FALSE] %*% diag(sqrt(e$values[1:nf]), nf)
  # A fixed sign: the largest entry of each column positive.
  for (j in 1:nf) if (l[which.max(abs(l[, j])), j] < 0) l[, j] <- -l[, j]
  l
}

# A random orthogonal matrix: the Q factor of a Gaussian matrix.
random_orthogonal <- function(nf) {
  q <- qr(matrix(rnorm(nf * nf), nf))
  qr.Q(q) %*% diag(sign(diag(qr.R(q))), nf)
}

data(Harman, package = "GPArotation")
set.seed(20261209)
harman74 <- pc_loadings(datasets::Harman74.cor$cov, 4)
inputs <- list(
  harman8 = unclass(Harman8),
  harman74 = harman74,
  harman74_turned = harman74 %*% random_orthogonal(4),
  ability = pc_loadings(cov2cor(datasets::ability.cov$cov), 2),
  harman74_3 = pc_loadings(datasets::Harman74.cor$cov, 3)
)

emit <- function(label, m) {
  cat(label, "\n", sep = "")
  for (i in seq_len(nrow(m))) cat(sprintf("%.17g", m[i, ]), "\n")
}

cat("# direct oblimin references: GPArotation", format(packageVersion("GPArotation")),
    "oblimin(normalize = TRUE, eps: the tightest of 1e-11 .. 1e-6 reached)\n")
for (name in names(inputs)) {
  a <- inputs[[name]]
  for (delta in c(0, -0.5, -1)) {
    # The tightest gradient tolerance that the criterion's rounding lets
    # the gradient projection reach.
    res <- NULL
    for (eps in c(1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6)) {
      res <- suppressWarnings(oblimin(a, gam = delta, normalize = TRUE, eps = eps, maxit = 4000))
      if (res$convergence) break
    }
    if (!res$convergence) stop("no convergence for ", name, " delta ", delta)
    cat("case", name, nrow(a), ncol(a), sprintf("%.17g", delta), eps, "\n")
    emit("A", a)
    emit("B", unclass(res$loadings))
    emit("PHI", res$Phi)
  }
}
cat("end\n")
