#pragma once

#include <string>

#include "formula/cut_certificate.h"
#include "geometry/region.h"
#include "polyfrep/polyfrep.h"

namespace polyfrep {

// What the structure of a formula says about it as a region's formula: the
// polygons joined by unions, each polygon's rings by intersections, each
// ring's own subformula over that ring's edges alone (a hole's the dual of
// a formula over its counter-clockwise copy), every ring's subformula with
// a sound chain certificate on the ring's counter-clockwise points.
struct RegionCertificate {
  bool region_shaped = false;       // rings and polygons joined as described above
  std::string shape_problem;        // why not, when not
  int failed_ring = -1;             // the first ring whose subformula is not certified, or -1
  CutCertificate ring_certificate;  // that ring's certificate, on its counter-clockwise points
};

inline bool certifies(const RegionCertificate& certificate) {
  return certificate.region_shaped && certificate.failed_ring < 0;
}

// The subformula of one ring as a formula over the ring's counter-clockwise
// points (edges 0 .. count - 1): renumbered with the inverse of region_edge,
// and, for a hole, dualised.
Formula ring_local_formula(const Ring& ring, const Formula& formula, int first_node, int end_node);

// Finds each ring's subformula and tests the joins above them and the
// certificate of each; rings whose outlines may not carry a certificate
// (not simple, not counter-clockwise as copied, a zero-length edge) must be
// ruled out by the caller, as for check_cut_certificate.
RegionCertificate check_region_certificate(const Region& region, const Formula& formula);

}  // namespace polyfrep
