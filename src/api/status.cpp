#include "api/status.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <new>

namespace kolva::api {

IoError::IoError(const std::string& path, int e)
    : std::runtime_error(path + ": " + std::strerror(e)), err(e) {}

std::string& last_error() {
  thread_local std::string message;
  return message;
}

std::string num(double x) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, r.ptr);
}

std::string num_float(float x) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, r.ptr);
}

std::string cell(std::int64_t row, std::int64_t col) {
  return "row " + std::to_string(row) + ", column " + std::to_string(col);
}

int caught() {
  try {
    throw;
  } catch (const Invalid& e) {
    last_error() = e.what();
    return KOLVA_INVALID;
  } catch (const IoError& e) {
    last_error() = e.what();
    errno = e.err;
    return KOLVA_IO_ERROR;
  } catch (const std::bad_alloc&) {
    last_error() = "out of memory";
    return KOLVA_NO_MEMORY;
  } catch (const std::exception& e) {
    last_error() = e.what();
    return KOLVA_FAILED;
  } catch (...) {
    last_error() = "unknown failure";
    return KOLVA_FAILED;
  }
}

}  // namespace kolva::api
