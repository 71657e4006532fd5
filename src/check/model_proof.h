#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "check/model_program.h"
#include "geometry/point.h"
#include "geometry/region.h"

namespace polyfrep {

// The polygon a model describes: the ends of its edge blocks as the model's
// own reader has them (each sN's p0 and p1), which must run around one
// outline: sN ends where s(N+1) starts, the last back where s0 starts.
struct WrittenOutline {
  std::vector<Point> vertices;  // empty when the blocks give no outline
  std::string problem;          // why they do not
};

// With `rings`, a region's: each sN ends where the block of its ring's next
// vertex starts.
WrittenOutline written_outline(const CompiledModel& model, int edge_count,
                               std::span<const Ring> rings = {});

// How a formula was shown to describe a polygon, or why it was not.
struct FormulaProof {
  enum class Outcome { kProven, kRefuted, kNotProven };
  enum class Method { kNone, kCertificate, kRingCertificates, kFullCheck };
  Outcome outcome = Outcome::kNotProven;
  Method method = Method::kNone;
  std::string reason;            // why refuted or not proven
  std::optional<Point> witness;  // a place where the formula and the polygon differ
};

struct ProofOptions {
  // Outlines of more vertices than this are not given the full exact check,
  // whose time grows with the square of their size.
  int exact_limit = 0;
  // A point a nearby outline winds once around, tried first for simplicity.
  std::optional<Point> centre_hint;
  // Told before the full exact check starts how long it should take, and
  // then how far it is.
  std::function<void(double seconds)> announce;
  std::function<void(int done, int total)> progress;
};

// Proves or refutes exactly that the formula describes the polygon: the
// outline must have no zero-length edge and be simple and counter-clockwise;
// then the chain certificate (every cut of the formula sound, the joins as
// the turns require) proves it at any size. A formula without the
// decomposition's shape, or whose certificate fails, gets the full exact
// check, up to the limit.
FormulaProof prove_formula(std::span<const Point> vertices, const Formula& formula,
                           const ProofOptions& options);

// Proves or refutes exactly that the formula describes the region: every
// ring simple, running as its kind should, then either the formula joined
// as region_formula joins rings, each ring's subformula with a sound chain
// certificate, or the full exact check over all the region's edges, up to
// the limit, where the rings lie so that their edges alone tell the region.
FormulaProof prove_region_formula(const Region& region, const Formula& formula,
                                  const ProofOptions& options);

// About how long the full exact check of an outline of this many edges
// takes on this kind of machine.
double full_check_seconds(std::size_t edge_count);

}  // namespace polyfrep
