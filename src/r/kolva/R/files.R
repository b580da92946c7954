# A run's files and single values, read by libkolva as the kolva program
# reads them: the same numbers, the same missing values, the same
# refusals, each named "FILE:LINE: what".

read_run <- function(path = ".", first_n = FALSE) {
  path <- as_path(path)
  first_n <- as_flag(first_n, "first_n")
  run <- native(.Call(C_run_read, path))
  if (!is.na(run$corr_beyond_line)) {
    warning(sprintf("%s:%.0f: the correlation file holds more values than its %s layout needs; kolva does not read them",
                    run$paths$corr, run$corr_beyond_line, run$layout), call. = FALSE)
  }
  if (run$variants > .Machine$integer.max) {
    stop(sprintf("%s: %.0f variants; an R matrix holds at most %d rows", run$paths$defdims,
                 run$variants, .Machine$integer.max), call. = FALSE)
  }
  lines <- no_lines(run$names)
  if (run$variants > 0) {
    each_chunk(run$paths$pvals, length(run$names), run$variants, run$variants, run$variants,
               first_n, run$names, function(x) lines <<- x)
  }
  structure(list(names = run$names, corr = run$corr, p = lines$p, chrom = lines$chrom,
                 id = lines$id, variants = run$variants, layout = run$layout, paths = run$paths),
            class = "kolva_run")
}

print.kolva_run <- function(x, ...) {
  shown <- x$names[seq_len(min(8L, length(x$names)))]
  cat(sprintf("kolva run (%s): %.0f variants x %d phenotypes: %s%s\n", x$paths$defdims,
              x$variants, length(x$names), paste(shown, collapse = ", "),
              if (length(x$names) > length(shown)) ", ..." else ""))
  cat(sprintf("correlations: %s (%s layout); p-values: %s\n", x$paths$corr, x$layout,
              x$paths$pvals))
  invisible(x)
}

read_pvals <- function(path, phenotypes, FUN = NULL, chunk = 100000L, first_n = FALSE) {
  path <- as_path(path)
  names <- NULL
  if (is.character(phenotypes) && !anyNA(phenotypes)) {
    names <- phenotypes
    phenotypes <- length(names)
  } else {
    phenotypes <- as_whole(phenotypes, "phenotypes", "a number of phenotypes or their names")
  }
  if (!is.null(FUN) && !is.function(FUN)) stop("FUN must be a function or NULL", call. = FALSE)
  chunk <- as_whole(chunk, "chunk", "a number of lines from 1 up")
  if (chunk < 1) stop("chunk must be a number of lines from 1 up", call. = FALSE)
  chunk <- min(chunk, .Machine$integer.max)
  first_n <- as_flag(first_n, "first_n")
  # The first chunk's room; a chunk that fills it gets twice as much.
  expect <- min(chunk, 65536)
  if (is.null(FUN)) {
    parts <- list()
    each_chunk(path, phenotypes, -1, chunk, expect, first_n, names,
               function(x) parts[[length(parts) + 1L]] <<- x)
    if (length(parts) == 1L) return(parts[[1]])
    if (length(parts) == 0L) return(no_lines(names, phenotypes))
    return(list(first = 1, chrom = unlist(lapply(parts, `[[`, "chrom")),
                id = unlist(lapply(parts, `[[`, "id")),
                p = do.call(rbind, lapply(parts, `[[`, "p"))))
  }
  out <- list()
  each_chunk(path, phenotypes, -1, chunk, expect, first_n, names,
             function(x) out[length(out) + 1L] <<- list(FUN(x)))
  invisible(out)
}

# Hands `each` the lines of the p-value file, at most `chunk` a time (room
# made for `expect` of them first), then stops at the line that stopped the
# reading, if any. The file is closed however the reading ends.
each_chunk <- function(path, n, max_lines, chunk, expect, first_n, names, each) {
  reader <- native(.Call(C_pvals_open, path, as.integer(min(n, .Machine$integer.max)),
                         as.double(max_lines), first_n))
  on.exit(.Call(C_pvals_close, reader))
  read <- 0
  repeat {
    got <- native(.Call(C_pvals_read, reader, as.double(chunk), as.double(expect), names))
    if (length(got$chrom)) each(got[c("first", "chrom", "id", "p")])
    if (!is.null(got$error)) stop(got$error, call. = FALSE)
    read <- read + length(got$chrom)
    if (length(got$chrom) < chunk || read == max_lines) break
  }
}

no_lines <- function(names, n = length(names)) {
  list(first = 1, chrom = character(0), id = character(0),
       p = matrix(numeric(0), 0, n, dimnames = list(NULL, names)))
}

as_path <- function(path) {
  if (!is.character(path) || length(path) != 1L || is.na(path)) {
    stop("path must be one file or folder name", call. = FALSE)
  }
  path.expand(path)
}

as_whole <- function(x, name, what) {
  if (!is.numeric(x) || is.object(x) || length(x) != 1L || is.na(x) || x != round(x)) {
    stop(name, " must be ", what, call. = FALSE)
  }
  as.double(x)
}

parse_numbers <- function(x) {
  if (!is.character(x)) stop("x must be a character vector", call. = FALSE)
  native(.Call(C_parse_numbers, x))
}
