// kolva._kolva: the extension behind the Python package kolva, over
// libkolva's C interface alone: the engine over numpy arrays read where
// they lie (strides, or one array per column), and the run's files read
// by the library as the program reads them (the run folder, p-value lines,
// result records). The package's __init__.py checks every argument and
// brings it into these forms.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "kolva/kolva.h"

namespace py = pybind11;

namespace kolva::python {
namespace {

// Raises the failure a status reports, with the library's message: an
// OSError of the errno's kind (naming the file when the message is
// "FILE: reason"), ValueError for what the caller can mend.
[[noreturn]] void raise(int status, int err) {
  const std::string message = kolva_last_error();
  switch (status) {
    case KOLVA_INVALID: throw py::value_error(message);
    case KOLVA_NO_MEMORY: throw std::bad_alloc();
    case KOLVA_IO_ERROR: {
      const std::string reason = std::strerror(err);
      const std::string tail = ": " + reason;
      py::object e;
      if (message.size() > tail.size() &&
          message.compare(message.size() - tail.size(), tail.size(), tail) == 0) {
        const std::string file = message.substr(0, message.size() - tail.size());
        e = py::handle(PyExc_OSError)(
            err, reason,
            py::reinterpret_steal<py::object>(PyUnicode_DecodeFSDefault(file.c_str())));
      } else {
        e = py::handle(PyExc_OSError)(err, message);
      }
      PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(e.ptr())), e.ptr());
      throw py::error_already_set();
    }
    default: throw std::runtime_error(message);
  }
}

void check(int status) {
  if (status != KOLVA_OK) raise(status, errno);
}

unsigned flags_of(bool as_given) { return as_given ? unsigned{KOLVA_AS_GIVEN} : 0u; }

// The element type of an array the package hands over: float64 or float32
// (the package has seen to byte order, alignment and strides of whole
// elements).
int element_of(const py::array& a) {
  if (py::isinstance<py::array_t<double>>(a)) return KOLVA_DOUBLE;
  if (py::isinstance<py::array_t<float>>(a)) return KOLVA_FLOAT;
  throw py::type_error("p-values: float64 or float32 arrays expected");
}

// A stride in elements.
std::int64_t elements(const py::array& a, int dim) {
  const auto bytes = static_cast<std::int64_t>(a.strides(dim));
  const auto size = static_cast<std::int64_t>(a.itemsize());
  if (bytes % size != 0) throw py::type_error("p-values: strides of whole elements expected");
  return bytes / size;
}

class Engine {
 public:
  Engine(const py::array_t<double, 0>& corr, bool as_given) {
    if (corr.ndim() != 2)
      throw py::value_error("correlation matrix must be 2-D (n x n), not " +
                            std::to_string(corr.ndim()) + "-D");
    const kolva_matrix m{corr.data(), corr.shape(0), corr.shape(1), elements(corr, 0),
                         elements(corr, 1)};
    kolva_engine* e = nullptr;
    check(kolva_engine_create_ex(&m, flags_of(as_given), &e));
    e_.reset(e);
  }

  int phenotypes() const { return kolva_engine_phenotypes(e_.get()); }
  double effective_tests() const { return kolva_effective_tests(e_.get()); }

  // p: a 2-D array, rows = variants.
  py::object combine_strided(const py::array& p, int threads, bool details, bool as_given) const {
    if (p.ndim() != 2) throw py::value_error("p-values must be 2-D");
    const kolva_pvalues pv{element_of(p),  p.shape(0),     p.shape(1), p.data(),
                           elements(p, 0), elements(p, 1), nullptr,    nullptr};
    return run(pv, threads, details, as_given);
  }

  // columns: one 1-D array per phenotype, all of one element type, each of
  // `rows` values.
  py::object combine_columns(const std::vector<py::array>& columns, std::int64_t rows, int threads,
                             bool details, bool as_given) const {
    std::vector<const void*> data;
    std::vector<std::int64_t> strides;
    const int element = columns.empty() ? KOLVA_DOUBLE : element_of(columns[0]);
    for (const py::array& c : columns) {
      if (c.ndim() != 1 || c.shape(0) != rows || element_of(c) != element)
        throw py::type_error("p-values: columns of one type and length expected");
      data.push_back(c.data());
      strides.push_back(elements(c, 0));
    }
    const kolva_pvalues pv{
        element,     rows,          static_cast<std::int64_t>(columns.size()), nullptr, 0, 0,
        data.data(), strides.data()};
    return run(pv, threads, details, as_given);
  }

 private:
  struct Free {
    void operator()(kolva_engine* e) const { kolva_engine_free(e); }
  };

  // The combined p-values, with the details when asked for: the results
  // are made here, filled without the GIL.
  py::object run(const kolva_pvalues& pv, int threads, bool details, bool as_given) const {
    const py::ssize_t rows = pv.rows > 0 ? pv.rows : 0;
    const py::ssize_t n = phenotypes();
    py::array_t<double> p(rows);
    py::array_t<std::int32_t> present, j;
    py::array_t<double> m, mj;
    py::array_t<std::int8_t> order;
    double none;  // a place for p when there are no rows
    kolva_results r{
        rows > 0 ? p.mutable_data() : &none, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0};
    if (details) {
      present = py::array_t<std::int32_t>(rows);
      j = py::array_t<std::int32_t>(rows);
      m = py::array_t<double>(rows);
      mj = py::array_t<double>(rows);
      order = py::array_t<std::int8_t>({rows, n});
      r.present = present.mutable_data();
      r.j = j.mutable_data();
      r.m = m.mutable_data();
      r.mj = mj.mutable_data();
      r.order = order.mutable_data();
    }
    int status;
    {
      py::gil_scoped_release unlocked;
      status = kolva_combine_ex(e_.get(), &pv, &r, threads, flags_of(as_given));
    }
    check(status);
    if (!details) return p;
    return py::make_tuple(p, present, j, m, mj, order);
  }

  std::unique_ptr<kolva_engine, Free> e_;
};

// Arrays of fixed-width byte strings (numpy "S<width>").
py::array byte_strings(int width, py::ssize_t count) {
  return py::array(py::dtype("S" + std::to_string(width)), py::array::ShapeContainer{count});
}

// A call of a reader without the GIL, one at a time per reader: its status
// and errno.
class Busy {
 public:
  explicit Busy(bool& flag, const char* what) : flag_(flag) {
    if (flag_) throw std::runtime_error(std::string(what) + ": a chunk is being read already");
    flag_ = true;
  }
  ~Busy() { flag_ = false; }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  bool& flag_;
};

// The lines of a p-value file, read by kolva_pvals_*: chunks of lines as
// (first, chrom, id, p), None after the last. A line that stops the
// reading raises ValueError once the lines before it are given (the
// library fails again on the next call).
class PvalReader {
 public:
  PvalReader(const std::string& path, int phenotypes, std::int64_t max_lines, bool first_n)
      : n_(phenotypes), left_(max_lines) {
    kolva_pvals* r = nullptr;
    check(kolva_pvals_open(path.c_str(), phenotypes, max_lines,
                           first_n ? unsigned{KOLVA_FIRST_N} : 0u, &r));
    r_.reset(r);
  }

  // Up to `lines` further lines (1 or more).
  py::object read(std::int64_t lines) {
    if (left_ >= 0 && lines > left_ - kolva_pvals_line(r_.get()))
      lines = left_ - kolva_pvals_line(r_.get());
    const std::int64_t first = kolva_pvals_line(r_.get());
    const auto size = static_cast<py::ssize_t>(lines > 0 ? lines : 0);
    py::array chrom = byte_strings(KOLVA_CHROM_CHARS, size),
              id = byte_strings(KOLVA_ID_CHARS, size);
    py::array_t<double> p({size, static_cast<py::ssize_t>(n_)});
    const std::int64_t got = fill(0, lines, chrom, id, p);
    if (got == 0) return py::none();
    if (got < lines) resize(got, chrom, id, p);
    return py::make_tuple(first, chrom, id, p);
  }

  // Every further line, in one set of arrays grown as the lines come
  // (`expected`: the lines there should be, -1 when not known).
  py::tuple read_all(std::int64_t expected) {
    py::ssize_t size = expected >= 0 && expected < kFirstBlock ? expected : kFirstBlock;
    py::array chrom = byte_strings(KOLVA_CHROM_CHARS, size),
              id = byte_strings(KOLVA_ID_CHARS, size);
    py::array_t<double> p({size, static_cast<py::ssize_t>(n_)});
    std::int64_t have = 0;
    for (;;) {
      have += fill(have, size - have, chrom, id, p);
      if (have < size || (expected >= 0 && have >= expected)) break;
      size = expected >= 0 && 2 * size > expected ? expected : 2 * size;
      resize(size, chrom, id, p);  // larger: the arrays grow, in place where they can
    }
    fill(have, 0, chrom, id, p);  // raises for a line that stopped the reading
    if (have < size) resize(have, chrom, id, p);
    return py::make_tuple(chrom, id, p);
  }

 private:
  static constexpr py::ssize_t kFirstBlock = 1 << 16;

  struct Close {
    void operator()(kolva_pvals* r) const { kolva_pvals_close(r); }
  };

  // Reads up to `lines` lines into rows `at` ... of the arrays; raises at a
  // line that stops the reading when no line was read before it.
  std::int64_t fill(std::int64_t at, std::int64_t lines, py::array& chrom, py::array& id,
                    py::array_t<double>& p) {
    char* c = static_cast<char*>(chrom.mutable_data()) + at * KOLVA_CHROM_CHARS;
    char* i = static_cast<char*>(id.mutable_data()) + at * KOLVA_ID_CHARS;
    double* v = p.mutable_data() + at * n_;
    std::int64_t got = 0;
    int status, err;
    {
      Busy busy(busy_, "read_pvals");
      py::gil_scoped_release unlocked;
      status = kolva_pvals_read(r_.get(), lines, c, i, v, &got);
      err = errno;
    }
    if (status != KOLVA_OK && got == 0) raise(status, err);
    return got;
  }

  void resize(std::int64_t rows, py::array& chrom, py::array& id, py::array_t<double>& p) {
    const auto kept = static_cast<py::ssize_t>(rows);
    chrom.resize({kept}, false);
    id.resize({kept}, false);
    p.resize({kept, static_cast<py::ssize_t>(n_)}, false);
  }

  int n_;
  std::int64_t left_;  // max_lines, -1: every line
  std::unique_ptr<kolva_pvals, Close> r_;
  bool busy_ = false;
};

// The records of a result file, read by kolva_records_*: chunks as (first,
// chrom, id, present, kind, p, ptext), None after the last; a line that is
// not a record raises ValueError once the records before it are given.
class RecordReader {
 public:
  explicit RecordReader(const std::string& path) {
    kolva_records* r = nullptr;
    check(kolva_records_open(path.c_str(), &r));
    r_.reset(r);
  }

  py::object read(std::int64_t records) {
    const auto size = static_cast<py::ssize_t>(records > 0 ? records : 0);
    py::array chrom = byte_strings(KOLVA_CHROM_CHARS, size),
              id = byte_strings(KOLVA_ID_CHARS, size);
    py::array_t<std::int32_t> present(size);
    py::array_t<std::int8_t> kind(size);
    py::array_t<double> p(size);
    py::array ptext = byte_strings(KOLVA_RECORD_P_WIDTH, size);
    std::int64_t got = 0;
    int status, err;
    {
      Busy busy(busy_, "read_results");
      py::gil_scoped_release unlocked;
      status = kolva_records_read(r_.get(), records, static_cast<char*>(chrom.mutable_data()),
                                  static_cast<char*>(id.mutable_data()), present.mutable_data(),
                                  kind.mutable_data(), p.mutable_data(),
                                  static_cast<char*>(ptext.mutable_data()), &got);
      err = errno;
    }
    if (status != KOLVA_OK && got == 0) raise(status, err);
    if (got == 0) return py::none();
    if (got < records) {
      const py::ssize_t kept = static_cast<py::ssize_t>(got);
      for (py::array* a : {&chrom, &id, static_cast<py::array*>(&present),
                           static_cast<py::array*>(&kind), static_cast<py::array*>(&p), &ptext})
        a->resize({kept}, false);
    }
    const std::int64_t first = first_;
    first_ += got;
    return py::make_tuple(first, chrom, id, present, kind, p, ptext);
  }

 private:
  struct Close {
    void operator()(kolva_records* r) const { kolva_records_close(r); }
  };
  std::unique_ptr<kolva_records, Close> r_;
  std::int64_t first_ = 0;
  bool busy_ = false;
};

// A path as Python shows it.
py::str path_text(const char* path) {
  return py::reinterpret_steal<py::str>(PyUnicode_DecodeFSDefault(path));
}

// The run folder (kolva_run_read) as a dict of the package's RunSetup
// fields.
py::dict read_run(const std::string& folder) {
  kolva_run* r = nullptr;
  check(kolva_run_read(folder.c_str(), &r));
  const std::unique_ptr<kolva_run, void (*)(kolva_run*)> owned(r, kolva_run_free);
  const py::ssize_t n = r->phenotypes;
  py::array_t<double> corr({n, n});
  if (n > 0)
    std::memcpy(corr.mutable_data(), r->corr_matrix, sizeof(double) * static_cast<size_t>(n * n));
  py::list names;
  for (py::ssize_t k = 0; k < n; ++k) {
    const char* s = r->names[k];
    names.append(py::reinterpret_steal<py::str>(
        PyUnicode_DecodeUTF8(s, static_cast<py::ssize_t>(std::strlen(s)), "replace")));
  }
  py::dict d;
  d["phenotypes"] = r->phenotypes;
  d["variants"] = r->variants;
  d["full_layout"] = r->full_layout != 0;
  d["names"] = py::tuple(names);
  d["corr"] = corr;
  d["corr_beyond_line"] = r->corr_beyond_line;
  d["defdims_path"] = path_text(r->defdims);
  d["pvals_path"] = path_text(r->pvals);
  d["corr_path"] = path_text(r->corr);
  d["results_path"] = path_text(r->results);
  d["names_path"] = r->names_file ? py::object(path_text(r->names_file)) : py::none();
  return d;
}

int default_threads() {
  const int n = kolva_default_threads();
  if (n < 0) throw py::value_error(kolva_last_error());
  return n;
}

}  // namespace
}  // namespace kolva::python

PYBIND11_MODULE(_kolva, m) {
  using namespace kolva::python;
  m.doc() = "The compiled part of kolva; use the package's functions.";
  py::class_<Engine>(m, "Engine")
      .def(py::init<const py::array_t<double, 0>&, bool>(), py::arg("corr"), py::arg("as_given"))
      .def_property_readonly("phenotypes", &Engine::phenotypes)
      .def("effective_tests", &Engine::effective_tests)
      .def("combine_strided", &Engine::combine_strided, py::arg("p"), py::arg("threads"),
           py::arg("details"), py::arg("as_given"))
      .def("combine_columns", &Engine::combine_columns, py::arg("columns"), py::arg("rows"),
           py::arg("threads"), py::arg("details"), py::arg("as_given"));
  py::class_<PvalReader>(m, "PvalReader")
      .def(py::init<const std::string&, int, std::int64_t, bool>(), py::arg("path"),
           py::arg("phenotypes"), py::arg("max_lines"), py::arg("first_n"))
      .def("read", &PvalReader::read, py::arg("lines"))
      .def("read_all", &PvalReader::read_all, py::arg("expected"));
  py::class_<RecordReader>(m, "RecordReader")
      .def(py::init<const std::string&>(), py::arg("path"))
      .def("read", &RecordReader::read, py::arg("records"));
  m.def("read_run", &read_run, py::arg("folder"));
  m.def("default_threads", &default_threads);
  m.def("version", &kolva_version);
  m.def("chrom_name", &kolva_chrom_name, py::arg("code"));
  m.def(
      "chrom_code",
      [](const py::bytes& field, bool ssf) {
        const std::string s = field;
        return kolva_chrom_code(s.data(), static_cast<std::int64_t>(s.size()), ssf ? 1 : 0);
      },
      py::arg("field"), py::arg("ssf"));

  // The layout facts of kolva/kolva.h, for kolva.formats.
  m.attr("MAX_PHENOTYPES") = KOLVA_MAX_PHENOTYPES;
  m.attr("MISSING") = KOLVA_MISSING;
  m.attr("MAX_THREADS") = KOLVA_MAX_THREADS;
  m.attr("THREADS_ENV") = KOLVA_THREADS_ENV;
  m.attr("CHROM_CHARS") = KOLVA_CHROM_CHARS;
  m.attr("ID_CHARS") = KOLVA_ID_CHARS;
  m.attr("ID_CUT_KEEP") = KOLVA_ID_CUT_KEEP;
  m.attr("ID_CUT_MARK") = py::bytes(KOLVA_ID_CUT_MARK);
  m.attr("RECORD_LONG") = KOLVA_RECORD_LONG;
  m.attr("RECORD_SHORT") = KOLVA_RECORD_SHORT;
  m.attr("RECORD_CHROM_AT") = KOLVA_RECORD_CHROM_AT;
  m.attr("RECORD_CHROM_WIDTH") = KOLVA_RECORD_CHROM_WIDTH;
  m.attr("RECORD_ID_AT") = KOLVA_RECORD_ID_AT;
  m.attr("RECORD_COUNT_AT") = KOLVA_RECORD_COUNT_AT;
  m.attr("RECORD_COUNT_WIDTH") = KOLVA_RECORD_COUNT_WIDTH;
  m.attr("RECORD_P_AT") = KOLVA_RECORD_P_AT;
  m.attr("RECORD_P_WIDTH") = KOLVA_RECORD_P_WIDTH;
  m.attr("RECORD_P_DIGITS") = KOLVA_RECORD_P_DIGITS;
  m.attr("RECORD_UNTESTED_TEXT") = py::bytes(KOLVA_RECORD_UNTESTED_TEXT);
  m.attr("RECORD_P") = static_cast<int>(KOLVA_RECORD_P);
  m.attr("RECORD_UNTESTED") = static_cast<int>(KOLVA_RECORD_UNTESTED);
  m.attr("RECORD_STARS") = static_cast<int>(KOLVA_RECORD_STARS);
  m.attr("RECORD_NONFINITE") = static_cast<int>(KOLVA_RECORD_NONFINITE);
  m.attr("CHROM_CODES") = KOLVA_CHROM_CODES;
}
