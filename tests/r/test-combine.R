# kolva::combine against the program on generated studies, in every form
# R hands it the p-values; the errors; parse_numbers.

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
    list(quote(combine(p, "corr")), "corr must be a numeric matrix"),
    list(quote(combine(p, corr, threads = 0)), "threads must be"),
    list(quote(combine(p, corr, threads = 1.5)), "threads must be"),
    list(quote(combine(p, corr, details = NA)), "details must be"),
    list(quote(parse_numbers(c("0.5", "0.5x"))), 'x\\[2\\] is not a number: "0.5x"'))
  for (case in cases) expect_error(eval(case[[1]]), case[[2]], info = deparse(case[[1]]))
})

test_that("parse_numbers gives the nearest double, where R's reader may not", {
  text <- c("0.937722", "1.5e-08", "+0.25", " 7 ", "-9", "1e999", "NA", "nan", "N", "", NA)
  want <- c(937722 / 1e6, 15 / 1e9, 0.25, 7, -9, Inf, NA, NA, NA, NA, NA)
  expect_identical(parse_numbers(text), want)
  expect_false(as.numeric("0.937722") == 937722 / 1e6)  # what parse_numbers is for
})
