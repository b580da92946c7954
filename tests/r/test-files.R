# read_run and read_pvals on the program's own run folders and on broken
# ones; parse_numbers.

test_that("read_run gives what the program reads, in either layout, with or without names", {
  for (layout in c("lower", "full")) {
    s <- run_study(5, 700, layout)
    traits <- as.character(1:5)
    if (layout == "lower") {
      traits <- paste0("t", 1:5)
      writeLines(traits, file.path(s$dir, "phenotypes.txt"))
    }
    run <- read_run(s$dir)
    expect_identical(run$names, traits, info = layout)
    expect_identical(run$corr, `dimnames<-`(s$corr, list(traits, traits)), info = layout)
    expect_identical(run$p, `colnames<-`(s$p, traits), info = layout)
    expect_identical(run[c("chrom", "id", "variants", "layout")],
                     list(chrom = s$chrom, id = s$id, variants = 700, layout = layout), info = layout)
    expect_identical(is.na(run$paths$names), layout == "full")
    got <- combine(run$p, run$corr)
    expect_identical(field(got[!is.na(got)]), s$field[!is.na(s$field)], info = layout)
  }
})

# A run folder of two phenotypes written from `files` (name = lines).
run_folder <- function(files) {
  dir <- tempfile("kolva-r-run-")
  dir.create(dir)
  defaults <- list(defdims = c("2 2", "lower", "pvals.txt", "corr.txt", "results.txt"),
                   corr.txt = c("1", "0.5 1"), pvals.txt = c("1 a 0.1 0.2", "1 b 0.3 NA"))
  files <- utils::modifyList(defaults, files)
  for (name in names(files)) writeLines(files[[name]], file.path(dir, name))
  dir
}

test_that("read_run refuses what the program stops at, naming the file and line", {
  cases <- list(
    list(list(pvals.txt = c("1 a 0.1 0.2", "1 b 0.3 0.4 0.5")),
         "pvals.txt:2: the line holds more than 2 p-values .*ask for first_n"),
    list(list(pvals.txt = c("1 a 0.1 0.2", "1 b 0.3")), "pvals.txt:2: the line ends before its 2 p-values"),
    list(list(pvals.txt = c("1 a 0.1 x")), "pvals.txt:1: a p-value is not a number"),
    list(list(pvals.txt = c("1 a 0.1 0.2")), "pvals.txt:2: the file ends after 1 lines, but the run has 2 variants"),
    list(list(corr.txt = c("1", "0.5 x")), "corr.txt:2: value 3 of the 3 .* is not a number"),
    list(list(corr.txt = c("1", "0.5")), "corr.txt:3: the file ends"),
    list(list(defdims = c("2 2", "full", "pvals.txt", "corr.txt", "r"), corr.txt = c("1 0.5", "0.4 1")),
         "corr.txt:2: .*symmetric"),
    list(list(defdims = c("51 2", "lower", "pvals.txt", "corr.txt", "r")), "defdims:1: 51 phenotypes"),
    list(list(phenotypes.txt = c("a", "a")), "phenotypes.txt:2: the name 'a' stands twice"),
    list(list(defdims = c("2 2", "lower", "none.txt", "corr.txt", "r")), "none.txt: No such file"))
  for (case in cases) {
    expect_error(read_run(run_folder(case[[1]])), case[[2]], info = case[[2]])
  }
  dir <- run_folder(list(pvals.txt = c("1 a 0.1 0.2 0.7", "1 b 0.3 NA 0.8")))
  expect_identical(unname(read_run(dir, first_n = TRUE)$p), matrix(c(0.1, 0.3, 0.2, NA), 2))
  expect_warning(read_run(run_folder(list(corr.txt = c("1", "0.5 1", "0.2")))),
                 "corr.txt:3: the correlation file holds more values than its lower layout needs")
})

test_that("read_pvals hands each chunk to FUN, then stops at a bad line", {
  s <- run_study(3, 250)
  path <- file.path(s$dir, "pvals.txt")
  chunks <- read_pvals(path, 3, function(x) x, chunk = 100)
  expect_identical(vapply(chunks, `[[`, 0, "first"), c(1, 101, 201))
  expect_identical(do.call(rbind, lapply(chunks, `[[`, "p")), s$p)
  expect_identical(unlist(lapply(chunks, `[[`, "id")), s$id)
  expect_length(read_pvals(path, 3, identity, chunk = 125), 2)
  expect_identical(read_pvals(path, c("a", "b", "c"))$p, `colnames<-`(s$p, c("a", "b", "c")))
  expect_identical(read_pvals(path, 2, first_n = TRUE)$p, s$p[, 1:2])

  bad <- tempfile()
  writeLines(c(sprintf("1 v%d 0.5 0.5", 1:5), "1 v6 0.5 0.5x"), bad)
  firsts <- c()
  expect_error(read_pvals(bad, 2, function(x) firsts <<- c(firsts, x$first), chunk = 2),
               "^.*:6: a p-value is not a number$")
  expect_identical(firsts, c(1, 3, 5))

  cases <- list(
    list(quote(read_pvals(path, 51)), "phenotypes must be from 0 to 50, not 51"),
    list(quote(read_pvals(path, 2)), "pvals.txt:1: the line holds more than 2 p-values"),
    list(quote(read_pvals(path, 3, chunk = 0)), "chunk must be a number of lines from 1 up"),
    list(quote(read_pvals(path, 3, FUN = 1)), "FUN must be a function or NULL"),
    list(quote(read_pvals(c(path, path), 3)), "path must be one file or folder name"),
    list(quote(read_pvals(tempfile(), 3)), "No such file"))
  for (case in cases) expect_error(eval(case[[1]]), case[[2]], info = deparse(case[[1]]))
})

test_that("read_pvals reads a file larger than its first room, and an empty one", {
  path <- tempfile()
  lines <- 70001L
  writeLines(sprintf("X rs%d %d 0.5", seq_len(lines), seq_len(lines) %% 2), path)
  got <- read_pvals(path, 2)
  expect_identical(dim(got$p), c(lines, 2L))
  expect_identical(got$p[lines, ], c(1, 0.5))
  expect_identical(got$id[lines], paste0("rs", lines))
  file.create(path)
  expect_identical(dim(read_pvals(path, 2)$p), c(0L, 2L))
})

test_that("parse_numbers reads as the program reads a p-value", {
  text <- c("0.937722", "1.5e-08", "+0.25", " 7 ", "1D-2", "5q-1", "-9", "NA", "nan", "N", "", NA)
  want <- c(937722 / 1e6, 15 / 1e9, 0.25, 7, 0.01, 0.5, NA, NA, NA, NA, NA, NA)
  expect_identical(parse_numbers(text), want)
  expect_false(as.numeric("0.937722") == 937722 / 1e6)  # what parse_numbers is for
  for (bad in c("inf", "3*0.5", "0.1 0.2", "0.5x")) {
    expect_error(parse_numbers(c("0.5", bad)), sprintf("^x\\[2\\]: '%s' is not a number", gsub("\\*", "\\\\*", bad)))
  }
})
