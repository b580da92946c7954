// Ascending sort that carries a permutation.
#include "numeric/sortp.h"

namespace kolva {

// sortp: sorts values into ascending order and records where each sorted
// value came from.
//
//   values  (in)  n doubles, never written.
//   n       (in)  count; n < 1 writes nothing.
//   sorted  (out) the values in ascending order.
//   index   (out) 1-based permutation: sorted[x] == values[index[x] - 1].
//
// Quicksort with median-of-three pivots and an explicit stack on which the
// larger part is deferred; segments of at most 11 entries that do not start
// at position 1 are finished by straight insertion, with the entry to their
// left as sentinel. An already non-decreasing input returns after one pass
// with the identity permutation. The comparisons below decide where equal
// values go, so their exact forms matter.
//
// With not-a-number values the sentinel and the scan stops can fail; every
// scan is therefore also bounded by positions 1 .. n. For inputs without
// such values those bounds are never reached and change nothing.
void sortp(const double* values, int n, double* sorted, std::int32_t* index) {
  struct Entry {
    double v;
    std::int32_t ix;
  };
  auto S = [&](int x) -> double& { return sorted[x - 1]; };
  auto get = [&](int x) { return Entry{sorted[x - 1], index[x - 1]}; };
  auto put = [&](int x, const Entry& en) {
    sorted[x - 1] = en.v;
    index[x - 1] = en.ix;
  };
  auto swap = [&](int x, int y) {
    const Entry tmp = get(x);
    put(x, get(y));
    put(y, tmp);
  };

  for (int x = 1; x <= n; ++x) S(x) = values[x - 1];
  for (int x = 1; x <= n; ++x) index[x - 1] = x;
  {
    int x = 1;
    while (x <= n - 1 && S(x + 1) >= S(x)) ++x;
    if (x > n - 1) return;
  }

  // Pending segments: first and last positions, m - 1 of them in use.
  int first[36];
  int last[36];
  int m = 1;
  int i = 1;
  int j = n;

  // Takes the next pending segment into i .. j; false when none is left.
  auto pop = [&]() {
    m = m - 1;
    if (m == 0) return false;
    i = first[m - 1];
    j = last[m - 1];
    return true;
  };

  for (;;) {
    if (i < j) {
      // Median of three: afterwards S(i) <= t <= S(j), t = entry at mid.
      int k = i;
      const int mid = (i + j) / 2;
      Entry t = get(mid);
      if (!(t.v >= S(i))) {
        swap(i, mid);
        t = get(mid);
      }
      int l = j;
      if (!(S(j) >= t.v)) {
        swap(j, mid);
        t = get(mid);
        if (!(t.v >= S(i))) {
          swap(i, mid);
          t = get(mid);
        }
      }
      // Partition around t.
      for (;;) {
        l = l - 1;
        while (l > 1 && S(l) > t.v) l = l - 1;
        const Entry tt = get(l);
        k = k + 1;
        while (k < n && t.v > S(k)) k = k + 1;
        if (k > l) break;
        put(l, get(k));
        put(k, tt);
      }
      // Defer the larger part, go on with the smaller.
      if ((l - i) > (j - k)) {
        first[m - 1] = i;
        last[m - 1] = l;
        m = m + 1;
        i = k;
      } else {
        first[m - 1] = k;
        last[m - 1] = j;
        m = m + 1;
        j = l;
      }
    } else if (!pop()) {
      return;
    }

    // Short segments away from position 1: straight insertion, then the
    // next pending segment; long or leftmost ones go back to partitioning.
    while (j - i <= 10 && i != 1) {
      for (i = i - 1;;) {
        i = i + 1;
        if (i >= j) break;
        const Entry t = get(i + 1);
        if (t.v >= S(i)) continue;
        int k = i;
        do {
          put(k + 1, get(k));
          k = k - 1;
        } while (k >= 1 && S(k) > t.v);
        put(k + 1, t);
      }
      if (!pop()) return;
    }
  }
}

}  // namespace kolva
