// How the C interface reports failures: each call runs its body through
// guarded(), which turns what the body throws into a status and keeps the
// message for kolva_last_error() on the calling thread. Nothing is thrown
// across the interface.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "kolva/kolva.h"

namespace kolva::api {

// A failure the caller can mend: KOLVA_INVALID with its message.
struct Invalid : std::invalid_argument {
  using std::invalid_argument::invalid_argument;
};

// A file that could not be opened or read: KOLVA_IO_ERROR with its message
// "FILE: reason"; errno is left as `err`.
struct IoError : std::runtime_error {
  IoError(const std::string& path, int err);
  // With a message of its own.
  static IoError with_message(const std::string& message, int err) {
    return IoError(message, err, 0);
  }
  int err;

 private:
  IoError(const std::string& message, int e, int) : std::runtime_error(message), err(e) {}
};

// The message of the calling thread's last failure.
std::string& last_error();

// A number as a message shows it: the shortest text that reads back as x.
std::string num(double x);
std::string num_float(float x);
inline std::string num(std::int64_t x) { return std::to_string(x); }

// "row R, column C", both from 1.
std::string cell(std::int64_t row, std::int64_t col);

// The status and message of the exception being handled.
int caught();

// Runs f, turning what it throws into a status and a message.
template <class F>
int guarded(F f) {
  try {
    f();
    return KOLVA_OK;
  } catch (...) {
    return caught();
  }
}

}  // namespace kolva::api
