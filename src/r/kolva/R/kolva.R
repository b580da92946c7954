# The package's R functions: arguments checked for type and turned into
# what the native code reads in place (double matrices, double columns);
# libkolva checks shapes and values and its messages reach stop().

combine <- function(p, corr, threads = NULL, details = FALSE, as_given = FALSE) {
  corr <- as_correlations(corr)
  threads <- as_threads(threads)
  details <- as_flag(details, "details")
  as_given <- as_flag(as_given, "as_given")
  same_names(colnames(p), colnames(corr))
  rows <- NROW(p)
  if (is.data.frame(p)) {
    p <- as_columns(p, "p")
  } else if (is.matrix(p) && plain_numeric(p)) {
    if (!is.double(p)) storage.mode(p) <- "double"
  } else {
    stop(sprintf("p must be a numeric matrix or a data.frame of numeric columns, not %s", what(p)),
         call. = FALSE)
  }
  names <- if (details) trait_names(p, corr) else NULL
  out <- native(.Call(C_combine, p, as.double(rows), corr, threads, details, as_given, names))
  if (details) list2DF(out) else out
}

effective_tests <- function(corr, as_given = FALSE) {
  as_given <- as_flag(as_given, "as_given")
  native(.Call(C_effective_tests, as_correlations(corr), as_given))
}

# The native code's failure stopped as every other: the library's message
# alone.
native <- function(expr) {
  tryCatch(expr, error = function(e) stop(conditionMessage(e), call. = FALSE))
}

as_flag <- function(x, name) {
  if (!isTRUE(x) && !isFALSE(x)) stop(name, " must be TRUE or FALSE", call. = FALSE)
  x
}

# What x is, for a message: "a character matrix", "a list", "a factor".
what <- function(x) {
  kind <- if (is.object(x)) class(x)[1] else typeof(x)
  if (!is.object(x) && is.atomic(x)) kind <- paste(kind, if (is.matrix(x)) "matrix" else "vector")
  paste(if (grepl("^[aeiou]", kind)) "an" else "a", kind)
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

# The names of the phenotypes for the carrying traits: p's column names,
# else corr's, else 1 to n.
trait_names <- function(p, corr) {
  names <- if (is.matrix(p)) colnames(p) else names(p)
  if (is.null(names)) names <- colnames(corr)
  if (is.null(names)) names <- as.character(seq_len(ncol(corr)))
  enc2utf8(as.character(names))
}

# Numbers R keeps as such (double or integer), or a logical vector of NA
# alone (a column with nothing in it, as read.table and fread give it).
plain_numeric <- function(x) {
  !is.object(x) && (is.double(x) || is.integer(x) || is.logical(x) && all(is.na(x)))
}

# A data.frame's columns, the double ones as they are (not copied).
as_columns <- function(frame, name) {
  cols <- unclass(frame)
  for (i in seq_along(cols)) {
    x <- cols[[i]]
    if (!plain_numeric(x) || !is.null(dim(x))) {
      kind <- if (is.logical(x) && is.null(dim(x))) "logical (TRUE or FALSE)" else class(x)[1]
      stop(sprintf("%s: column %d (%s) is not numeric but %s", name, i, names(cols)[i], kind),
           call. = FALSE)
    }
    if (!is.double(x)) cols[[i]] <- as.double(x)
  }
  cols
}

as_correlations <- function(corr) {
  if (is.data.frame(corr)) corr <- do.call(cbind, as_columns(corr, "corr"))
  if (!is.matrix(corr) || is.object(corr) || !(is.double(corr) || is.integer(corr))) {
    stop(sprintf("corr must be a numeric matrix (the n x n phenotype correlations), not %s",
                 what(corr)), call. = FALSE)
  }
  if (!is.double(corr)) storage.mode(corr) <- "double"
  corr
}

# NULL or 0: the library's default (KOLVA_THREADS, else the CPUs R may
# use); the library refuses a negative count and serves a large one with
# its most.
as_threads <- function(threads) {
  if (is.null(threads)) return(0L)
  if (!is.numeric(threads) || is.object(threads) || length(threads) != 1L || is.na(threads) ||
      threads != round(threads)) {
    stop("threads must be NULL or 0 (the default) or a whole number", call. = FALSE)
  }
  as.integer(max(min(threads, .Machine$integer.max), -.Machine$integer.max))
}
