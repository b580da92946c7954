// kolva._kolva: the extension behind the Python package kolva. The engine
// of libkolva over numpy arrays read where they lie (strides, or one array
// per column), and the p-value file read as the program reads it. The
// package's __init__.py brings every argument into these forms.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "kolva/kolva.h"
#include "python/pvals_reader.h"

namespace py = pybind11;

namespace kolva::python {
namespace {

// Raises the failure a status reports, with the library's message.
void check(int status) {
  switch (status) {
    case KOLVA_OK: return;
    case KOLVA_INVALID: throw py::value_error(kolva_last_error());
    case KOLVA_NO_MEMORY: throw std::bad_alloc();
    default: throw std::runtime_error(kolva_last_error());
  }
}

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

// Python's thread count for the library's: None is 0 (the default); a
// count beyond int is served as the largest.
int thread_count(std::int64_t threads) {
  return threads > INT_MAX ? INT_MAX : threads < INT_MIN ? INT_MIN : static_cast<int>(threads);
}

class Engine {
 public:
  explicit Engine(const py::array_t<double, 0>& corr) {
    if (corr.ndim() != 2)
      throw py::value_error("correlation matrix must be 2-D (n x n), not " +
                            std::to_string(corr.ndim()) + "-D");
    const kolva_matrix m{corr.data(), corr.shape(0), corr.shape(1), elements(corr, 0),
                         elements(corr, 1)};
    kolva_engine* e = nullptr;
    check(kolva_engine_create(&m, &e));
    e_.reset(e);
  }

  int phenotypes() const { return kolva_engine_phenotypes(e_.get()); }
  double effective_tests() const { return kolva_effective_tests(e_.get()); }

  // p: a 2-D array, rows = variants.
  py::object combine_strided(const py::array& p, std::int64_t threads, bool details) const {
    if (p.ndim() != 2) throw py::value_error("p-values must be 2-D");
    const kolva_pvalues pv{element_of(p),  p.shape(0),     p.shape(1), p.data(),
                           elements(p, 0), elements(p, 1), nullptr,    nullptr};
    return run(pv, threads, details);
  }

  // columns: one 1-D array per phenotype, all of one element type, each of
  // `rows` values.
  py::object combine_columns(const std::vector<py::array>& columns, std::int64_t rows,
                             std::int64_t threads, bool details) const {
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
    return run(pv, threads, details);
  }

 private:
  struct Free {
    void operator()(kolva_engine* e) const { kolva_engine_free(e); }
  };

  // The combined p-values, with the details when asked for: the results
  // are made here, filled without the GIL.
  py::object run(const kolva_pvalues& pv, std::int64_t threads, bool details) const {
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
      status = kolva_combine(e_.get(), &pv, &r, thread_count(threads));
    }
    check(status);
    if (!details) return p;
    return py::make_tuple(p, present, j, m, mj, order);
  }

  std::unique_ptr<kolva_engine, Free> e_;
};

// read_pvals' reader: chunks of at most `chunk` lines as (first, chrom,
// id, p), None after the last; a line that stops the reading raises
// ValueError once the lines before it are given.
class Chunks {
 public:
  Chunks(const std::string& path, int phenotypes, std::int64_t chunk)
      : chunk_(checked_chunk(chunk)), reader_(opened(path, phenotypes)) {}

  py::object next() {
    if (busy_) throw std::runtime_error("read_pvals: a chunk is being read already");
    if (reader_->done()) {
      if (!reader_->failure().empty() && !raised_) {
        raised_ = true;
        throw py::value_error(reader_->failure());
      }
      return py::none();
    }
    const std::int64_t first = reader_->next_line();
    const py::ssize_t n = reader_->phenotypes();
    const auto lines = static_cast<py::ssize_t>(chunk_);
    py::array chrom(py::dtype("S" + std::to_string(kChromBytes)), py::array::ShapeContainer{lines});
    py::array id(py::dtype("S" + std::to_string(kIdBytes)), py::array::ShapeContainer{lines});
    py::array_t<double> p({lines, n});
    char* c = static_cast<char*>(chrom.mutable_data());
    char* i = static_cast<char*>(id.mutable_data());
    double* v = p.mutable_data();
    std::int64_t got;
    busy_ = true;
    {
      py::gil_scoped_release unlocked;
      got = reader_->read(chunk_, c, i, v);
    }
    busy_ = false;
    if (got == 0) return next();
    if (got < chunk_) {
      const auto kept = static_cast<py::ssize_t>(got);
      chrom.resize({kept}, false);
      id.resize({kept}, false);
      p.resize({kept, n}, false);
    }
    return py::make_tuple(first, chrom, id, p);
  }

 private:
  static std::int64_t checked_chunk(std::int64_t chunk) {
    if (chunk < 1)
      throw py::value_error("chunk must be 1 or more lines, not " + std::to_string(chunk));
    return chunk;
  }

  // The reader, its failures as Python's: OSError (of the errno's kind)
  // naming the file, ValueError.
  static std::unique_ptr<PvalReader> opened(const std::string& path, int phenotypes) {
    try {
      return std::make_unique<PvalReader>(path, phenotypes);
    } catch (const std::invalid_argument& e) {
      throw py::value_error(e.what());
    } catch (const std::system_error& e) {
      errno = e.code().value();
      PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
      throw py::error_already_set();
    }
  }

  std::int64_t chunk_;
  std::unique_ptr<PvalReader> reader_;
  bool busy_ = false;
  bool raised_ = false;
};

}  // namespace
}  // namespace kolva::python

PYBIND11_MODULE(_kolva, m) {
  using namespace kolva::python;
  m.doc() = "The compiled part of kolva; use the package's functions.";
  py::class_<Engine>(m, "Engine")
      .def(py::init<const py::array_t<double, 0>&>(), py::arg("corr"))
      .def_property_readonly("phenotypes", &Engine::phenotypes)
      .def("effective_tests", &Engine::effective_tests)
      .def("combine_strided", &Engine::combine_strided, py::arg("p"), py::arg("threads"),
           py::arg("details"))
      .def("combine_columns", &Engine::combine_columns, py::arg("columns"), py::arg("rows"),
           py::arg("threads"), py::arg("details"));
  py::class_<Chunks>(m, "Chunks")
      .def(py::init<const std::string&, int, std::int64_t>(), py::arg("path"),
           py::arg("phenotypes"), py::arg("chunk"))
      .def("next", &Chunks::next);
  m.def("default_threads", &kolva_default_threads);
  m.def("version", &kolva_version);
}
