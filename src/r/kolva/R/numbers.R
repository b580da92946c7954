# Decimal text to the nearest double, as the kolva program reads its files.
parse_numbers <- function(x) {
  if (!is.character(x)) stop("x must be a character vector", call. = FALSE)
  native(.Call(C_parse_numbers, x))
}
