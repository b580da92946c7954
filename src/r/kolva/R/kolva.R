# The package's R functions: arguments checked for type and turned into
# what the native code reads in place (double matrices, double columns);
# libkolva checks shapes and values and its messages reach stop().

combine <- function(p, corr, threads = NULL, details = FALSE) {
  corr <- as_correlations(corr)
  threads <- as_threads(threads)
  if (!isTRUE(details) && !isFALSE(details)) stop("details must be TRUE or FALSE", call. = FALSE)
  same_names(colnames(p), colnames(corr))
  rows <- NROW(p)
  if (is.data.frame(p)) {
    p <- as_columns(p)
  } else if (is.matrix(p) && plain_numeric(p)) {
    if (!is.double(p)) storage.mode(p) <- "double"
  } else {
    stop("p must be a numeric matrix or a data.frame of numeric columns", call. = FALSE)
  }
  out <- native(.Call(C_combine, p, as.double(rows), corr, threads, details))
  if (details) list2DF(out) else out
}

effective_tests <- function(corr) native(.Call(C_effective_tests, as_correlations(corr)))

# The native code's failure stopped as every other: the library's message
# alone.
native <- function(expr) {
  tryCatch(expr, error = function(e) stop(conditionMessage(e), call. = FALSE))
}

# Columns named in both p and corr pair by position; differing names mean
# they were put in different orders.
same_names <- function(in_p, in_corr) {
  if (is.null(in_p) || is.null(in_corr) || length(in_p) != length(in_corr)) return()
  at <- which(in_p != in_corr)
  if (length(at)) {
    stop(sprintf("column %d is named %s in p but %s in corr: p's columns must be in corr's order",
                 at[1], in_p[at[1]], in_corr[at[1]]), call. = FALSE)
  }
}

# Numbers R keeps as such (double or integer), or a logical vector of NA
# alone (a column with nothing in it, as read.table and fread give it).
plain_numeric <- function(x) {
  !is.object(x) && (is.double(x) || is.integer(x) || is.logical(x) && all(is.na(x)))
}

# A data.frame's columns, the double ones as they are (not copied).
as_columns <- function(p) {
  cols <- unclass(p)
  for (i in seq_along(cols)) {
    x <- cols[[i]]
    if (!plain_numeric(x) || !is.null(dim(x))) {
      stop(sprintf("p: column %d (%s) is not numeric but %s", i, names(cols)[i], class(x)[1]),
           call. = FALSE)
    }
    if (!is.double(x)) cols[[i]] <- as.double(x)
  }
  cols
}

as_correlations <- function(corr) {
  if (is.data.frame(corr)) corr <- as.matrix(corr)
  if (!is.matrix(corr) || is.object(corr) || !(is.double(corr) || is.integer(corr))) {
    stop("corr must be a numeric matrix: the n x n phenotype correlations", call. = FALSE)
  }
  if (!is.double(corr)) storage.mode(corr) <- "double"
  corr
}

# NULL: 0, the library's default (KOLVA_THREADS, else the CPUs R may use).
as_threads <- function(threads) {
  if (is.null(threads)) return(0L)
  if (!is.numeric(threads) || length(threads) != 1L || is.na(threads) || threads < 1 ||
      threads != round(threads)) {
    stop("threads must be NULL (the default) or a whole number from 1 up", call. = FALSE)
  }
  as.integer(min(threads, .Machine$integer.max))
}
