# kolva::combine against the program on generated studies, in every form
# R hands it the p-values; the carrying traits; the refusals.

forms <- list(
  list(name = "matrix, NA, 1 thread", frame = FALSE, missing = NA, threads = 1),
  list(name = "data.frame, -9, 2 threads", frame = TRUE, missing = -9, threads = 2),
  list(name = "matrix, -9, default threads", frame = FALSE, missing = -9, threads = NULL),
  list(name = "data.frame, NA, 2 threads", frame = TRUE, missing = NA, threads = 2))

for (shape in list(c(2, 6000), c(5, 3000), c(20, 600), c(50, 120))) {
  n <- shape[1]
  s <- run_study(n, shape[2])
  test_that(sprintf("%d phenotypes: every combined p-value prints as the program's", n), {
    for (f in forms) {
      p <- s$p
      p[is.na(p) | p == -9] <- f$missing
      if (f$frame) p <- as.data.frame(p)
      got <- combine(p, s$corr, threads = f$threads)
      expect_identical(is.na(got), is.na(s$field), info = f$name)
      expect_identical(field(got[!is.na(got)]), s$field[!is.na(s$field)], info = f$name)
    }
    d <- combine(s$p, s$corr, details = TRUE)
    expect_identical(d$n_present, s$present)
    expect_identical(d$p, got)
    expect_true(all(is.na(d$j) == is.na(d$p) & (is.na(d$j) | d$j >= 1 & d$j <= d$n_present)))
    # The carrying traits: the names of the j smallest p-values, smallest
    # first (no ties in these studies).
    traits <- paste0("t", seq_len(n))
    named <- combine(`colnames<-`(s$p, traits), s$corr, details = TRUE)$carrying
    want <- vapply(seq_len(nrow(s$p)), function(r) {
      if (is.na(d$j[r])) NA_character_ else paste(traits[order(s$p[r, ])][seq_len(d$j[r])], collapse = ",")
    }, "")
    expect_identical(named, want)
    if (n == 2) {  # more rows than one call to the library takes (2^21 values)
      copies <- 175
      big <- s$p[rep(seq_len(nrow(s$p)), copies), ]
      expect_identical(combine(big, s$corr, threads = 2), rep(got, copies))
      expect_identical(combine(as.data.frame(big), s$corr, threads = 1), rep(got, copies))
    }
    all_present <- combine(matrix(seq_len(n) / (n + 1), 1), s$corr, details = TRUE)
    expect_identical(effective_tests(s$corr), all_present$m)
  })
}

test_that("the carrying traits are named by p's columns, else corr's, else 1 to n", {
  p <- matrix(c(0.3, 0.01, 0.2), 1)
  corr <- diag(3)
  named <- `dimnames<-`(corr, rep(list(c("a", "b", "c")), 2))
  expect_identical(combine(p, corr, details = TRUE)$carrying, "2")
  expect_identical(combine(p, named, details = TRUE)$carrying, "b")
  expect_identical(combine(data.frame(x = 0.3, y = 0.01, z = 0.2), corr, details = TRUE)$carrying, "y")
  expect_identical(combine(matrix(c(0.04, 0.03, NA), 1), corr, threads = 0, details = TRUE)$carrying, "2,1")
})

test_that("no rows, one phenotype, fewer than two present: NA or nothing", {
  expect_identical(combine(matrix(0.5, 0, 3), diag(3)), numeric(0))
  expect_identical(nrow(combine(data.frame(a = numeric(0), b = numeric(0)), diag(2), details = TRUE)), 0L)
  expect_identical(combine(matrix(c(0.1, 0.2), 2), diag(1)), c(NA_real_, NA_real_))
  expect_identical(effective_tests(diag(1)), 1)
})

test_that("bad arguments stop with a message naming the fault", {
  p <- matrix(0.5, 2, 3)
  corr <- diag(3)
  cases <- list(
    list(quote(combine(p[, 1:2], corr)), "p-values have 2 columns but the correlation matrix has 3 phenotypes"),
    list(quote(combine(p, corr[, 1:2])), "not square: 3 rows, 2 columns"),
    list(quote(combine(matrix(0.5, 1, 51), diag(51))), "51 phenotypes; at most 50"),
    list(quote(combine(p, `[<-`(corr, 1, 2, 0.5))), "not symmetric: row 1, column 2 holds 0.5 but row 2, column 1 holds 0"),
    list(quote(combine(p, `[<-`(corr, 2, 2, NA))), "row 2, column 2 is not finite"),
    list(quote(effective_tests(`[<-`(corr, 3, 1, Inf))), "row 3, column 1 is not finite"),
    list(quote(combine(data.frame(a = "x", b = 1, c = 1), corr)), "column 1 \\(a\\) is not numeric"),
    list(quote(combine(1:3, corr)), "numeric matrix or a data.frame"),
    list(quote(combine(data.frame(a = 1, c = 1, b = 1), `dimnames<-`(corr, rep(list(c("a", "b", "c")), 2)))),
         "column 2 is named c in p but b in corr"),
    list(quote(combine(p, "corr")), "corr must be a numeric matrix .*, not a character vector"),
    list(quote(combine(p, data.frame(a = 1:3, b = "x", c = 1))), "corr: column 2 \\(b\\) is not numeric but character"),
    list(quote(combine(data.frame(a = 1, b = TRUE, c = 1), corr)), "column 2 \\(b\\) is not numeric but logical"),
    list(quote(combine(data.frame(a = factor("x"), b = 1, c = 1), corr)), "column 1 \\(a\\) is not numeric but factor"),
    list(quote(combine(data.frame(a = 1, b = 1, c = 1i), corr)), "column 3 \\(c\\) is not numeric but complex"),
    list(quote(combine(matrix("0.5", 2, 3), corr)), "not a character matrix"),
    list(quote(combine(matrix(TRUE, 2, 3), corr)), "not a logical matrix"),
    list(quote(combine(`[<-`(p, 2, 1, -0.2), corr)),
         "^p-values: the value at row 2, column 1 is -0.2; a p-value lies in \\[0, 1\\]"),
    list(quote(combine(p, `[<-`(corr, 2, 2, 2))), "entry at row 2, column 2 is 2; a correlation matrix has 1 on its diagonal"),
    list(quote(effective_tests(`[<-`(corr, c(2, 4), 5))), "entry at row 1, column 2 is 5; a correlation lies in \\[-1, 1\\]"),
    list(quote(combine(p, corr, threads = -1)), "threads must be 0 \\(the default\\) or more, not -1"),
    list(quote(combine(p, corr, threads = 1.5)), "threads must be NULL or 0"),
    list(quote(combine(p, corr, details = NA)), "details must be TRUE or FALSE"),
    list(quote(combine(p, corr, as_given = "yes")), "as_given must be TRUE or FALSE"))
  for (case in cases) expect_error(eval(case[[1]]), case[[2]], info = deparse(case[[1]]))
  # A row past the first block the library is handed is named as a row of p.
  big <- matrix(0.5, 50000, 50)
  big[45000, 7] <- 1.5
  expect_error(combine(as.data.frame(big), diag(50)), "value at row 45000, column 7 is 1.5")
  # The library's message alone, without the R call.
  expect_identical(tryCatch(combine(p, corr[, 1:2]), error = function(e) e$call), NULL)
})

test_that("as_given takes impossible values as the program takes them from its files", {
  p <- matrix(c(-0.2, 0.5, 0.3, 0.4), 2)
  corr <- matrix(c(1, 0.5, 0.5, 2), 2)
  expect_lt(combine(p, corr, as_given = TRUE)[1], 0)
  expect_true(is.finite(effective_tests(corr, as_given = TRUE)))
})

test_that("threads: NULL and 0 are the default; a bad KOLVA_THREADS is refused when it is needed", {
  p <- matrix(c(0.1, 0.2, 0.3, 0.4), 2)
  Sys.setenv(KOLVA_THREADS = "many")
  on.exit(Sys.unsetenv("KOLVA_THREADS"))
  for (threads in list(NULL, 0)) expect_error(combine(p, diag(2), threads = threads), "KOLVA_THREADS must be .*'many'")
  expect_identical(combine(p, diag(2), threads = 3), combine(p, diag(2), threads = 1))
})
