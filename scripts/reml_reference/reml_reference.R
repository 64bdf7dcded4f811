# Reference numbers for the REML mixed-model tests: split-plot data sets made here once, fitted
# with lmerTest::lmer (REML) and tested with anova(ddf = "Kenward-Roger"); the variance-component
# standard errors are sqrt(diag(W)) of pbkrtest::vcovAdj (W = inverse REML information).
# Run: Rscript scripts/reml_reference/reml_reference.R  (prints C++ initialisers for the tests)
suppressMessages({ library(lmerTest); library(pbkrtest) })
options(digits = 17)
ctl <- lmerControl(optimizer = "bobyqa", optCtrl = list(rhoend = 1e-14, maxfun = 1e5),
                   check.conv.singular = "ignore")

make_split_plot <- function(seed, sizes, wpsd, sd, beta, cat_levels = 0) {
  set.seed(seed)
  wp <- rep(seq_along(sizes), sizes)
  A <- rep(rep(c(-1, 1), length.out = length(sizes)), sizes)
  n <- length(wp)
  B <- sample(c(-1, 0, 1), n, replace = TRUE)
  C <- sample(c(-1, 1), n, replace = TRUE)
  u <- rnorm(length(sizes), 0, wpsd)
  y <- beta[1] + beta[2] * A + beta[3] * B + beta[4] * C + beta[5] * A * B + u[wp] + rnorm(n, 0, sd)
  d <- data.frame(WP = factor(wp), A = A, B = B, C = C, y = round(y, 3))
  if (cat_levels > 0) {
    M <- factor(sample(letters[seq_len(cat_levels)], n, replace = TRUE), levels = letters[seq_len(cat_levels)])
    d$M <- M
    d$y <- d$y + c(0.7, -0.4, 0.2)[as.integer(M)]
  }
  d
}

report <- function(tag, d, form) {
  fit <- lmerTest::lmer(form, data = d, REML = TRUE, control = ctl)
  vc <- as.data.frame(VarCorr(fit))
  W <- attr(pbkrtest::vcovAdj(fit), "W")
  a <- anova(fit, ddf = "Kenward-Roger")
  cat(sprintf("// ---- %s: %s\n", tag, deparse(form)))
  cat("rows (WP, A, B, C", if (!is.null(d$M)) ", M" else "", ", y):\n", sep = "")
  for (i in seq_len(nrow(d)))
    cat(sprintf("{\"%s\", %g, %g, %g, %s%.3f},\n", d$WP[i], d$A[i], d$B[i], d$C[i],
                if (!is.null(d$M)) sprintf("\"%s\", ", d$M[i]) else "", d$y[i]))
  cat("variance components (name, variance, stdError):\n")
  for (i in seq_len(nrow(vc)))
    cat(sprintf("{\"%s\", %.15g, %.15g},\n", vc$grp[i], vc$vcov[i], sqrt(W[i, i])))
  cat("fixed effects (name, estimate, stdError):\n")
  se <- sqrt(diag(as.matrix(vcov(fit))))
  for (i in seq_along(fixef(fit)))
    cat(sprintf("{\"%s\", %.15g, %.15g},\n", names(fixef(fit))[i], fixef(fit)[i], se[i]))
  cat("Kenward-Roger tests (term, NumDF, DenDF, F, p):\n")
  for (i in seq_len(nrow(a)))
    cat(sprintf("{\"%s\", %d, %.15g, %.15g, %.15g},\n", rownames(a)[i], a$NumDF[i], a$DenDF[i],
                a$`F value`[i], a$`Pr(>F)`[i]))
  L <- diag(length(fixef(fit)))[-1, , drop = FALSE]
  w <- lmerTest::contest(fit, L, ddf = "Kenward-Roger", joint = TRUE)
  cat(sprintf("whole model (NumDF, DenDF, F, p): {%d, %.15g, %.15g, %.15g}\n", w$NumDF, w$DenDF,
              w$`F value`, w$`Pr(>F)`))
  cat(sprintf("REML criterion %.15g, optimiser message: %s\n", REMLcrit(fit),
              paste(fit@optinfo$conv$lme4$messages, collapse = "; ")))
}

# Unbalanced split-plot: 8 whole plots of 2 to 4 runs, A the whole-plot factor.
d1 <- make_split_plot(2101, c(3, 3, 2, 4, 3, 3, 4, 2), 1.5, 1.0, c(10, 2, 1.5, -1, 0.8))
report("split_plot", d1, y ~ A + B + C + A:B + (1 | WP))
# Balanced split-plot with a three-level categorical sub-plot factor (sum-to-zero coding).
d2 <- make_split_plot(2102, rep(4, 6), 1.0, 0.7, c(5, 1, 0.5, 0, 0), cat_levels = 3)
options(contrasts = c("contr.sum", "contr.poly"))
report("categorical", d2, y ~ A + B + M + (1 | WP))

# Split-split-plot: 4 whole-whole plots (C), each of 2 whole plots (A), each of 3 runs (B).
set.seed(2103)
wwp <- rep(1:4, each = 6)
wp <- rep(1:8, each = 3)
C <- rep(c(-1, 1, 1, -1), each = 6)
A <- rep(c(-1, 1, 1, -1, -1, 1, 1, -1), each = 3)
B <- rep(c(-1, 0, 1), 8)
y <- 20 + 1.2 * C + 0.9 * A - 0.7 * B + 0.5 * A * B + rnorm(4, 0, 1.3)[wwp] + rnorm(8, 0, 0.8)[wp] + rnorm(24, 0, 0.5)
d3 <- data.frame(WWP = factor(wwp), WP = factor(wp), A = A, B = B, C = C, y = round(y, 3))
options(contrasts = c("contr.treatment", "contr.poly"))
fit <- lmerTest::lmer(y ~ C + A + B + A:B + (1 | WWP) + (1 | WP), data = d3, REML = TRUE, control = ctl)
cat("// ---- split_split_plot: y ~ C + A + B + A:B + (1 | WWP) + (1 | WP)\nrows (WWP, WP, A, B, C, y):\n")
for (i in seq_len(nrow(d3)))
  cat(sprintf("{\"%s\", \"%s\", %g, %g, %g, %.3f},\n", d3$WWP[i], d3$WP[i], d3$A[i], d3$B[i], d3$C[i], d3$y[i]))
vc <- as.data.frame(VarCorr(fit))
W <- attr(pbkrtest::vcovAdj(fit), "W")
cat("variance components (name, variance, stdError):\n")
for (i in seq_len(nrow(vc))) cat(sprintf("{\"%s\", %.15g, %.15g},\n", vc$grp[i], vc$vcov[i], sqrt(W[i, i])))
se <- sqrt(diag(as.matrix(vcov(fit))))
cat("fixed effects (name, estimate, stdError):\n")
for (i in seq_along(fixef(fit))) cat(sprintf("{\"%s\", %.15g, %.15g},\n", names(fixef(fit))[i], fixef(fit)[i], se[i]))
a <- anova(fit, ddf = "Kenward-Roger")
cat("Kenward-Roger tests (term, NumDF, DenDF, F, p):\n")
for (i in seq_len(nrow(a)))
  cat(sprintf("{\"%s\", %d, %.15g, %.15g, %.15g},\n", rownames(a)[i], a$NumDF[i], a$DenDF[i], a$`F value`[i], a$`Pr(>F)`[i]))
