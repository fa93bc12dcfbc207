#!/usr/bin/env Rscript
# Reference solutions of the Harris-Kaiser rotation for the tests of DFHARR:
# the loadings divided by the square roots of the weights, columns scaled by
# s^((C-1)/2), rotated by R's own varimax (normalize = TRUE), and the
# oblique transformation built from that rotation.  Run once from the
# repository root; the output is committed and the tests never run R:
#   Rscript scripts/reference/harris_kaiser_reference.R > tests/numlib/golden/harris_kaiser_reference.txt
suppressPackageStartupMessages(library(stats))

pc_loadings <- function(r, nf) {
  e <- eigen(r, symmetric = TRUE)
  l <- e$vectors[, 1:nf, drop = FALSE] %*% diag(sqrt(e$values[1:nf]), nf)
  for (j in 1:nf) if (l[which.max(abs(l[, j])), j] < 0) l[, j] <- -l[, j]
  l
}

emit <- function(label, m) {
  cat(label, "\n", sep = "")
  m <- as.matrix(m)
  for (i in seq_len(nrow(m))) cat(sprintf("%.17g", m[i, ]), "\n")
}

harman74 <- pc_loadings(datasets::Harman74.cor$cov, 4)
ability <- pc_loadings(cov2cor(datasets::ability.cov$cov), 2)
inputs <- list(
  # Principal components: unit weights.
  list(name = "harman74_unit", a = harman74, wt = rep(1, nrow(harman74))),
  # Principal axes: the uniquenesses 1 - communality.
  list(name = "harman74_uniq", a = harman74, wt = 1 - rowSums(harman74^2)),
  list(name = "ability_uniq", a = ability, wt = 1 - rowSums(ability^2))
)

cat("# Harris-Kaiser references: R", format(getRversion()), "stats::varimax(normalize = TRUE, eps = 1e-14)\n")
for (input in inputs) {
  a <- input$a
  wt <- input$wt
  for (cc in c(0, 0.5, 1)) {
    aw <- a / sqrt(wt)
    s <- colSums(aw^2)
    b0 <- aw %*% diag(s^((cc - 1) / 2), ncol(a))
    v <- varimax(b0, normalize = TRUE, eps = 1e-14)
    to <- v$rotmat
    m <- t(to) %*% diag(s^(1 - cc), ncol(a)) %*% to
    tr <- diag(s^((cc - 1) / 2), ncol(a)) %*% to %*% diag(sqrt(diag(m)), ncol(a))
    cat("case", input$name, nrow(a), ncol(a), sprintf("%.17g", cc), "\n")
    emit("A", a)
    emit("WT", matrix(wt, ncol = 1))
    emit("SCALED", b0)
    emit("VARIMAX", unclass(v$loadings))
    emit("B", a %*% tr)
    emit("PHI", cov2cor(m))
  }
}
cat("end\n")
