// Ascending sort that carries a permutation (contract in sortp.h).
//
// Quicksort with median-of-three pivots and an explicit stack on which the
// larger part is deferred; segments of at most kShort entries that do not
// start at position 1 are finished by straight insertion, with the entry
// to their left as sentinel. An already non-decreasing input returns after
// one pass with the identity permutation. The comparisons below decide
// where equal values go, so their exact forms matter.
//
// With not-a-number values the sentinel and the scan stops can fail; every
// scan is therefore also bounded by positions 1 .. n. For inputs without
// such values those bounds are never reached and change nothing.
#include "numeric/sortp.h"

namespace kolva {

namespace {

// A segment of at most kShort + 1 entries away from position 1 is
// finished by insertion.
constexpr int kShort = 10;

// Pending segments at most: the larger part is deferred, so the stack
// grows by one each time a segment at least halves.
constexpr int kStack = 36;

struct Entry {
  double v;
  std::int32_t ix;
};

// The arrays being sorted, at positions 1 .. n.
struct Arrays {
  double* sorted;
  std::int32_t* index;

  double& S(int x) const { return sorted[x - 1]; }
  Entry get(int x) const { return Entry{sorted[x - 1], index[x - 1]}; }
  void put(int x, const Entry& en) const {
    sorted[x - 1] = en.v;
    index[x - 1] = en.ix;
  }
  void swap(int x, int y) const {
    const Entry tmp = get(x);
    put(x, get(y));
    put(y, tmp);
  }
};

// The segments still to sort: first and last positions, m - 1 of them in
// use.
struct Pending {
  int first[kStack];
  int last[kStack];
  int m = 1;

  void push(int i, int j) {
    first[m - 1] = i;
    last[m - 1] = j;
    m = m + 1;
  }
  // Takes the next pending segment into i .. j; false when none is left.
  bool pop(int& i, int& j) {
    m = m - 1;
    if (m == 0) return false;
    i = first[m - 1];
    j = last[m - 1];
    return true;
  }
};

// Partitions i .. j (i < j) around the median of S(i), S(mid), S(j), which
// are put in order first: afterwards i .. l and k .. j are left to sort.
void partition(const Arrays& a, int n, int i, int j, int& k, int& l) {
  k = i;
  const int mid = (i + j) / 2;
  Entry t = a.get(mid);
  if (!(t.v >= a.S(i))) {
    a.swap(i, mid);
    t = a.get(mid);
  }
  l = j;
  if (!(a.S(j) >= t.v)) {
    a.swap(j, mid);
    t = a.get(mid);
    if (!(t.v >= a.S(i))) {
      a.swap(i, mid);
      t = a.get(mid);
    }
  }
  for (;;) {
    l = l - 1;
    while (l > 1 && a.S(l) > t.v) l = l - 1;
    const Entry tt = a.get(l);
    k = k + 1;
    while (k < n && t.v > a.S(k)) k = k + 1;
    if (k > l) break;
    a.put(l, a.get(k));
    a.put(k, tt);
  }
}

// Straight insertion of i .. j (i > 1), the entry at i - 1 as sentinel.
void insert(const Arrays& a, int i, int j) {
  for (i = i - 1;;) {
    i = i + 1;
    if (i >= j) break;
    const Entry t = a.get(i + 1);
    if (t.v >= a.S(i)) continue;
    int k = i;
    do {
      a.put(k + 1, a.get(k));
      k = k - 1;
    } while (k >= 1 && a.S(k) > t.v);
    a.put(k + 1, t);
  }
}

}  // namespace

void sortp(const double* values, int n, double* sorted, std::int32_t* index) {
  const Arrays a{sorted, index};
  for (int x = 1; x <= n; ++x) a.S(x) = values[x - 1];
  for (int x = 1; x <= n; ++x) index[x - 1] = x;
  {
    int x = 1;
    while (x <= n - 1 && a.S(x + 1) >= a.S(x)) ++x;
    if (x > n - 1) return;
  }

  Pending pending;
  int i = 1;
  int j = n;
  for (;;) {
    if (i < j) {
      // Defer the larger part, go on with the smaller.
      int k, l;
      partition(a, n, i, j, k, l);
      if ((l - i) > (j - k)) {
        pending.push(i, l);
        i = k;
      } else {
        pending.push(k, j);
        j = l;
      }
    } else if (!pending.pop(i, j)) {
      return;
    }

    // Short segments away from position 1: straight insertion, then the
    // next pending segment; long or leftmost ones go back to partitioning.
    while (j - i <= kShort && i != 1) {
      insert(a, i, j);
      if (!pending.pop(i, j)) return;
    }
  }
}

}  // namespace kolva
