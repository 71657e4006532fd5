#pragma once

#include <span>

#include "geometry/point.h"

namespace polyfrep {

// What the cuts of a formula in the decomposition's shape say about it: a
// top-level intersection of two chains of consecutive edges, every
// subformula below a chain cut at one of its vertices. When every cut is
// sound on an outline that is simple, counter-clockwise and without
// zero-length edges, the formula describes that outline's polygon.
struct CutCertificate {
  bool chain_shaped = false;  // the formula has the decomposition's shape
  int unsound_cut = -1;       // the vertex of the first cut found unsound, -1 when none is
  bool top_level = false;     // that cut is the top-level one (at unsound_cut and other_vertex)
  int other_vertex = -1;
};

inline bool certifies(const CutCertificate& certificate) {
  return certificate.chain_shaped && certificate.unsound_cut < 0;
}

// Tests every cut of the formula, with the decomposition's own exact cut
// tests and joins, on `vertices`, which need not be the ones the formula was
// made for.
CutCertificate check_cut_certificate(std::span<const Point> vertices, const Formula& formula);

}  // namespace polyfrep
