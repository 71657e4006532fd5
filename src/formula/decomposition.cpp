#include "formula/decomposition.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "formula/hull.h"

namespace polyfrep {

namespace {

// Pending work of the depth-first decomposition: a chain still to be turned
// into tokens, or a single token to append once the chains before it are done.
// An explicit stack keeps deep decompositions (thousands of levels for long
// collinear or spiralling chains) off the call stack.
struct PendingWork {
  IndexChain chain;  // length 0 marks a plain token
  int token;
};

PendingWork pending_token(int token) {
  return PendingWork{IndexChain{0, 0}, token};
}
PendingWork pending_chain(IndexChain chain) {
  return PendingWork{chain, 0};
}

int vertex_index(int first, int offset, int vertex_count) {
  const long long index = static_cast<long long>(first) + offset;
  return static_cast<int>(index % vertex_count);
}

// The chain's points in chain order: a view into the polygon when the chain
// does not wrap past the last vertex, otherwise a copy.
std::span<const Point> chain_points(std::span<const Point> vertices, IndexChain chain,
                                    std::vector<Point>& copy) {
  const auto first = static_cast<std::size_t>(chain.first);
  const auto length = static_cast<std::size_t>(chain.length);
  if (first + length <= vertices.size())
    return vertices.subspan(first, length);
  copy.resize(length);
  for (std::size_t k = 0; k < length; ++k)
    copy[k] = vertices[(first + k) % vertices.size()];
  return copy;
}

class ChainDecomposer {
 public:
  ChainDecomposer(std::span<const Point> vertices, TokenList& tokens,
                  const HullObserver& observe_hull)
      : vertices_(vertices), tokens_(tokens), observe_hull_(observe_hull) {}

  void run(IndexChain chain) {
    pending_.push_back(pending_chain(chain));
    while (!pending_.empty()) {
      const PendingWork work = pending_.back();
      pending_.pop_back();
      if (work.chain.length == 0) {
        push_token(tokens_, work.token);
      } else {
        expand(work.chain);
      }
    }
  }

 private:
  const Point& vertex(int first, int offset) const {
    return vertices_[static_cast<std::size_t>(vertex_index(first, offset, vertex_count()))];
  }
  int vertex_count() const { return static_cast<int>(vertices_.size()); }

  void expand(IndexChain chain) {
    if (chain.length == 2) {
      push_token(tokens_, chain.first);
      return;
    }
    if (chain.length == 3) {
      push_token(tokens_, chain.first);
      push_token(tokens_, join_operator(vertex(chain.first, 0), vertex(chain.first, 1),
                                        vertex(chain.first, 2)));
      push_token(tokens_, vertex_index(chain.first, 1, vertex_count()));
      return;
    }
    split(chain);
  }

  // A chain of four or more vertices is cut at one of its own hull vertices
  // near its middle; position 1 is the initial choice, so the cut is never at
  // an end and both parts are shorter than the chain.
  void split(IndexChain chain) {
    const std::span<const Point> points = chain_points(vertices_, chain, point_copy_);
    chain_hull(points, hull_positions_);
    if (observe_hull_)
      observe_hull_(points, hull_positions_);
    const int cut = choose_split_vertex(hull_positions_, chain.length / 2, 1);
    const int join = join_operator(vertex(chain.first, cut - 1), vertex(chain.first, cut),
                                   vertex(chain.first, cut + 1));
    const IndexChain left{chain.first, cut + 1};
    const IndexChain right{vertex_index(chain.first, cut, vertex_count()), chain.length - cut};
    // Appended as "(" left ")" join "(" right ")"; pushed in reverse.
    push_token(tokens_, TOKEN_OPEN);
    pending_.push_back(pending_token(TOKEN_CLOSE));
    pending_.push_back(pending_chain(right));
    pending_.push_back(pending_token(TOKEN_OPEN));
    pending_.push_back(pending_token(join));
    pending_.push_back(pending_token(TOKEN_CLOSE));
    pending_.push_back(pending_chain(left));
  }

  std::span<const Point> vertices_;
  TokenList& tokens_;
  const HullObserver& observe_hull_;
  std::vector<PendingWork> pending_;
  std::vector<Point> point_copy_;
  std::vector<int> hull_positions_;
};

}  // namespace

int choose_split_vertex(std::span<const int> hull_positions, int middle, int initial_choice) {
  int best = initial_choice;
  for (std::size_t i = 1; i < hull_positions.size(); ++i) {
    const int entry = hull_positions[i];
    if (std::abs(entry - middle) < std::abs(best - middle))
      best = entry;
  }
  return best;
}

int join_operator(Point p, Point q, Point r) {
  const double incoming_x = q.x - p.x;
  const double incoming_y = q.y - p.y;
  const double outgoing_x = r.x - q.x;
  const double outgoing_y = r.y - q.y;
  const double first_product = incoming_x * outgoing_y;
  const double second_product = incoming_y * outgoing_x;
  const double turn = first_product - second_product;
  return turn > 0.0 ? TOKEN_INTERSECT : TOKEN_UNION;
}

void build_chain_formula(std::span<const Point> vertices, IndexChain chain, TokenList& tokens,
                         const HullObserver& observe_hull) {
  ChainDecomposer(vertices, tokens, observe_hull).run(chain);
}

bool build_polygon_formula(std::span<const Point> vertices, TokenList& tokens,
                           const HullObserver& observe_hull) {
  tokens.count = 0;
  if (vertices.size() < 3)
    return false;
  std::vector<int> hull_positions;
  chain_hull(vertices, hull_positions);
  if (observe_hull)
    observe_hull(vertices, hull_positions);
  if (hull_positions.size() < 2)
    return false;

  const int vertex_count = static_cast<int>(vertices.size());
  const int a = hull_positions[0];
  const int b = choose_split_vertex(hull_positions, vertex_count / 2, hull_positions[1]);
  const int lo = std::min(a, b);
  const int hi = std::max(a, b);

  ChainDecomposer decomposer(vertices, tokens, observe_hull);
  push_token(tokens, TOKEN_OPEN);
  decomposer.run(IndexChain{lo, hi - lo + 1});
  push_token(tokens, TOKEN_CLOSE);
  push_token(tokens, TOKEN_INTERSECT);
  push_token(tokens, TOKEN_OPEN);
  decomposer.run(IndexChain{hi, vertex_count - hi + lo + 1});
  push_token(tokens, TOKEN_CLOSE);
  return true;
}

}  // namespace polyfrep
