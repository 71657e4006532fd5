#include "formula/formula_check.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "formula/formula_program.h"
#include "geometry/exact.h"
#include "geometry/segments.h"

// How the check works. The formula's region and the polygon can only change
// where a point crosses one of the edges' supporting lines. On one line L,
// the other lines cross at isolated points, and the edges lying on L start
// and end at isolated points; between two consecutive such breakpoints, every
// half-plane has a constant value just left of L and a constant value just
// right of it. So, interval by interval, the formula's values on the two sides
// must jump exactly as the polygon does: from inside to outside across an edge
// running in L's direction, the other way across an edge running against it,
// and not at all where L carries no edge. If that holds on every line and the
// formula is false at one point far outside, the two regions agree everywhere
// off the lines. All intervals of a line are evaluated at once, with one bit
// per interval: each half-plane is a prefix or a suffix of ones, and the
// formula becomes a sequence of word-wide ANDs and ORs.
//
// Nothing of this needs the edges to form one outline: a region's rings are
// checked the same way. Passing then proves that the formula's region is
// the one whose inside jumps by one across every edge, from its left to its
// right, and nowhere else; so the rings' winding numbers, added up, are 0 or
// 1 everywhere, and the formula describes where they are 1.

namespace polyfrep {
namespace {

bool bit_is_set(std::span<const Word> words, int index) {
  return (words[index / kWordBits] >> (index % kWordBits)) & 1;
}

// ---------------------------------------------------------------------------
// Edges grouped by supporting line.

struct Edge {
  Point start;
  Point end;
  bool has_length;
};

// What a failure calls the shape the edges bound: "polygon" or "region", and
// what its boundary is when two of its edges overlap.
struct ShapeWords {
  const char* shape;
  const char* boundary;
};

constexpr ShapeWords kPolygonWords{"polygon", "the outline"};
constexpr ShapeWords kRegionWords{"region", "the region's boundary"};

// The edges lying on one line. Edges running the same way have the same
// half-plane, edges running against it the complementary one, so the line's
// crossings and sides are computed once per group.
struct LineGroup {
  int representative;      // the group's lowest edge; its direction is the line's
  std::vector<int> edges;  // every edge on the line, in index order
};

struct EdgeLines {
  std::vector<LineGroup> groups;
  std::vector<int> group_of;   // per edge; -1 for an edge without length
  std::vector<bool> reversed;  // per edge: runs against its group's direction
};

EdgeLines group_edges_by_line(std::span<const Edge> edges) {
  const int edge_count = static_cast<int>(edges.size());
  EdgeLines lines{{}, std::vector<int>(edges.size(), -1), std::vector<bool>(edges.size(), false)};
  for (int i = 0; i < edge_count; ++i) {
    if (!edges[i].has_length || lines.group_of[i] >= 0) continue;
    const int group = static_cast<int>(lines.groups.size());
    lines.groups.push_back({i, {i}});
    lines.group_of[i] = group;
    const Edge& line = edges[i];
    for (int j = i + 1; j < edge_count; ++j) {
      const Edge& edge = edges[j];
      if (!edge.has_length || lines.group_of[j] >= 0) continue;
      if (cross_sign(line.start, line.end, edge.start, edge.end) != 0 ||
          orientation_sign(line.start, line.end, edge.start) != 0) {
        continue;
      }
      lines.groups[group].edges.push_back(j);
      lines.group_of[j] = group;
      lines.reversed[j] = dot_sign(line.start, line.end, edge.start, edge.end) < 0;
    }
  }
  return lines;
}

// ---------------------------------------------------------------------------
// Checking one supporting line.

enum class Coverage : signed char { kNone, kForward, kBackward };

// How another line's group meets the line being checked.
struct GroupOnLine {
  enum class Kind : unsigned char { kSameLine, kParallel, kCrossing };
  Kind kind = Kind::kSameLine;
  bool value = false;  // kParallel: the representative's half-plane along the line
  bool rises = false;  // kCrossing: the representative's half-plane holds beyond the crossing
  int parameter = -1;  // kCrossing: index of the crossing's parameter
};

// Reusable work space for the lines of one check.
struct LineWork {
  std::vector<GroupOnLine> group_relation;
  std::vector<int> endpoint_parameter;  // per edge on the line: its start's parameter (end follows)
  std::vector<LineParameter> parameters;
  std::vector<int> rank;                 // merged breakpoint index of each parameter
  std::vector<double> breakpoint_value;  // approximate t of each merged breakpoint
  std::vector<IntervalRange> left_ranges;
  std::vector<IntervalRange> right_ranges;
  std::vector<int> covering_edge;  // per interval, the edge lying there, or -1
  std::vector<Coverage> coverage;
  std::vector<Word> left_result;
  std::vector<Word> right_result;
  std::vector<Word> stack;
};

std::string number_text(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string point_text(Point point) {
  std::string text = "(";
  text += number_text(point.x);
  text += ", ";
  text += number_text(point.y);
  text += ")";
  return text;
}

// A point inside interval `index` of the line, from the breakpoints' rounded
// values: the middle of a bounded interval, a point well beyond the last
// breakpoint for the two unbounded ones.
Point interval_point(const LineWork& work, int index, Point origin, Point through) {
  const std::vector<double>& values = work.breakpoint_value;
  const int breakpoint_count = static_cast<int>(values.size());
  double t = 0;
  if (index == 0) {
    t = values.front() - std::max(1.0, std::fabs(values.front()));
  } else if (index == breakpoint_count) {
    t = values.back() + std::max(1.0, std::fabs(values.back()));
  } else {
    t = values[index - 1] / 2 + values[index] / 2;
  }
  return {origin.x + t * (through.x - origin.x), origin.y + t * (through.y - origin.y)};
}

FormulaVerdict failure(int edge, Point witness, std::string reason) {
  return {false, edge, witness, std::move(reason)};
}

// Sorts the parameters along the line and merges equal ones; fills
// work.rank and work.breakpoint_value.
void sort_breakpoints(LineWork& work) {
  const int distinct = rank_parameters(work.parameters, work.rank);
  work.breakpoint_value.assign(distinct, 0);
  for (std::size_t i = 0; i < work.parameters.size(); ++i) {
    work.breakpoint_value[work.rank[i]] = work.parameters[i].approximation;
  }
}

struct LineOutcome {
  std::optional<FormulaVerdict> failure;
  bool far_outside_is_inside = false;  // the formula holds in the first unbounded interval
  Point far_point{0, 0};
};

// Finds where the other lines cross the line of group `line` and where its
// own edges start and end, as parameters along the group's representative.
void collect_breakpoints(int line, std::span<const Edge> edges, const EdgeLines& lines,
                         LineWork& work) {
  const Point origin = edges[lines.groups[line].representative].start;
  const Point through = edges[lines.groups[line].representative].end;
  work.parameters.clear();
  work.group_relation.assign(lines.groups.size(), GroupOnLine{});
  for (std::size_t g = 0; g < lines.groups.size(); ++g) {
    if (static_cast<int>(g) == line) continue;
    const Edge& other = edges[lines.groups[g].representative];
    GroupOnLine& relation = work.group_relation[g];
    if (std::optional<LineParameter> crossing =
            crossing_parameter(origin, through, other.start, other.end)) {
      relation.kind = GroupOnLine::Kind::kCrossing;
      relation.rises = cross_sign(other.start, other.end, origin, through) > 0;
      relation.parameter = static_cast<int>(work.parameters.size());
      work.parameters.push_back(*crossing);
    } else {
      relation.kind = GroupOnLine::Kind::kParallel;
      relation.value = orientation_sign(other.start, other.end, origin) > 0;
    }
  }
  const std::vector<int>& own_edges = lines.groups[line].edges;
  work.endpoint_parameter.assign(own_edges.size(), -1);
  for (std::size_t k = 0; k < own_edges.size(); ++k) {
    const Edge& edge = edges[own_edges[k]];
    work.endpoint_parameter[k] = static_cast<int>(work.parameters.size());
    work.parameters.push_back(projection_parameter(origin, through, edge.start));
    work.parameters.push_back(projection_parameter(origin, through, edge.end));
  }
}

// Every half-plane's values just left and just right of the line, as ranges
// of intervals.
void set_edge_ranges(int line, const EdgeLines& lines, int interval_count, LineWork& work) {
  const IntervalRange everywhere{0, interval_count};
  const IntervalRange nowhere{0, 0};
  const std::size_t edge_count = lines.group_of.size();
  work.left_ranges.assign(edge_count, nowhere);
  work.right_ranges.assign(edge_count, nowhere);
  for (std::size_t j = 0; j < edge_count; ++j) {
    const int group = lines.group_of[j];
    if (group < 0) continue;  // no length: empty everywhere
    const bool reversed = lines.reversed[j];
    if (group == line) {
      work.left_ranges[j] = reversed ? nowhere : everywhere;
      work.right_ranges[j] = reversed ? everywhere : nowhere;
      continue;
    }
    const GroupOnLine& relation = work.group_relation[group];
    if (relation.kind == GroupOnLine::Kind::kParallel) {
      work.left_ranges[j] = work.right_ranges[j] =
          relation.value != reversed ? everywhere : nowhere;
      continue;
    }
    const int beyond = work.rank[relation.parameter] + 1;
    work.left_ranges[j] = work.right_ranges[j] = relation.rises != reversed
                                                     ? IntervalRange{beyond, interval_count}
                                                     : IntervalRange{0, beyond};
  }
}

// Marks the intervals covered by the line's own edges; returns the first
// pair of edges that cover one interval twice (an outline that is not
// simple), if any, with the interval.
struct Overlap {
  int first_edge;
  int second_edge;
  int interval;
};

std::optional<Overlap> mark_coverage(int line, const EdgeLines& lines, int interval_count,
                                     LineWork& work) {
  work.covering_edge.assign(interval_count, -1);
  work.coverage.assign(interval_count, Coverage::kNone);
  const std::vector<int>& own_edges = lines.groups[line].edges;
  for (std::size_t k = 0; k < own_edges.size(); ++k) {
    const int edge = own_edges[k];
    const int start = work.rank[work.endpoint_parameter[k]];
    const int end = work.rank[work.endpoint_parameter[k] + 1];
    for (int interval = std::min(start, end) + 1; interval <= std::max(start, end); ++interval) {
      if (work.covering_edge[interval] >= 0) {
        return Overlap{work.covering_edge[interval], edge, interval};
      }
      work.covering_edge[interval] = edge;
      work.coverage[interval] = lines.reversed[edge] ? Coverage::kBackward : Coverage::kForward;
    }
  }
  return std::nullopt;
}

// The formula's values just left and right of an interval of a line, and
// the polygon's edge lying there.
struct IntervalSides {
  Coverage coverage;
  int edge;  // covering the interval, -1 for none
  bool inside_value;
  bool outside_value;
};

// Whether the formula jumps across the interval as the polygon does: from
// inside to outside across an edge, not at all elsewhere.
bool sides_agree(const IntervalSides& sides) {
  if (sides.coverage == Coverage::kNone) return sides.inside_value == sides.outside_value;
  return sides.inside_value && !sides.outside_value;
}

FormulaVerdict mismatch(int line_edge, const IntervalSides& sides, Point witness,
                        const ShapeWords& words) {
  const std::string near = " near " + point_text(witness);
  const std::string shape = words.shape;
  if (sides.coverage == Coverage::kNone) {
    return failure(line_edge, witness,
                   "the formula's region has a boundary on the line of edge " +
                       std::to_string(line_edge) + near + ", where the " + shape + " has no edge");
  }
  const std::string edge_name = "edge " + std::to_string(sides.edge);
  if (!sides.inside_value && sides.outside_value) {
    return failure(sides.edge, witness,
                   "the formula's region lies on the wrong side of " + edge_name + near);
  }
  if (!sides.inside_value) {
    return failure(sides.edge, witness,
                   "the " + shape + "'s inside next to " + edge_name +
                       " is outside the formula's region" + near);
  }
  return failure(sides.edge, witness,
                 "the outside next to " + edge_name + " is inside the formula's region" + near);
}

// The first interval where the formula's values on the two sides do not jump
// as the polygon does, as a failure.
std::optional<FormulaVerdict> first_mismatch(int line_edge, int interval_count, Point origin,
                                             Point through, const LineWork& work,
                                             const ShapeWords& words) {
  for (int interval = 0; interval < interval_count; ++interval) {
    const bool left = bit_is_set(work.left_result, interval);
    const bool right = bit_is_set(work.right_result, interval);
    // The inside lies left of an edge: left of the line for a forward edge.
    const Coverage coverage = work.coverage[interval];
    const bool forward = coverage != Coverage::kBackward;
    const IntervalSides sides{coverage, work.covering_edge[interval], forward ? left : right,
                              forward ? right : left};
    if (!sides_agree(sides)) {
      return mismatch(line_edge, sides, interval_point(work, interval, origin, through), words);
    }
  }
  return std::nullopt;
}

LineOutcome check_line(int line, std::span<const Edge> edges, const EdgeLines& lines,
                       const FormulaProgram& program, const ShapeWords& words, LineWork& work) {
  const int line_edge = lines.groups[line].representative;
  const Point origin = edges[line_edge].start;
  const Point through = edges[line_edge].end;
  collect_breakpoints(line, edges, lines, work);
  sort_breakpoints(work);
  const int interval_count = static_cast<int>(work.breakpoint_value.size()) + 1;
  const int word_count = (interval_count + kWordBits - 1) / kWordBits;

  LineOutcome outcome;
  if (const std::optional<Overlap> overlap = mark_coverage(line, lines, interval_count, work)) {
    const int first = std::min(overlap->first_edge, overlap->second_edge);
    const int second = std::max(overlap->first_edge, overlap->second_edge);
    outcome.failure = failure(first, interval_point(work, overlap->interval, origin, through),
                              "edges " + std::to_string(first) + " and " + std::to_string(second) +
                                  " overlap on one line: " + words.boundary + " is not simple");
    return outcome;
  }
  set_edge_ranges(line, lines, interval_count, work);
  run_program(program, work.left_ranges, word_count, work.stack);
  work.left_result.assign(work.stack.begin(), work.stack.begin() + word_count);
  run_program(program, work.right_ranges, word_count, work.stack);
  work.right_result.assign(work.stack.begin(), work.stack.begin() + word_count);

  // Interval 0 lies before every breakpoint, so it reaches beyond the polygon.
  outcome.far_outside_is_inside =
      bit_is_set(work.left_result, 0) || bit_is_set(work.right_result, 0);
  outcome.far_point = interval_point(work, 0, origin, through);
  outcome.failure = first_mismatch(line_edge, interval_count, origin, through, work, words);
  return outcome;
}

// The check proper, once the edges are known to be finite and the formula
// to be one over them.
FormulaVerdict check_edges(std::span<const Edge> edges, const FormulaProgram& program,
                           const ShapeWords& words,
                           const std::function<void(int done, int total)>& progress) {
  const std::string shape = words.shape;
  const EdgeLines lines = group_edges_by_line(edges);
  if (lines.groups.empty()) {
    return failure(-1, edges[0].start, "the " + shape + " has no edge of positive length");
  }

  LineWork work;
  std::optional<LineOutcome> first_line;
  const int line_count = static_cast<int>(lines.groups.size());
  for (int line = 0; line < line_count; ++line) {
    LineOutcome outcome = check_line(line, edges, lines, program, words, work);
    if (progress) progress(line + 1, line_count);
    if (outcome.failure) return *outcome.failure;
    if (!first_line) first_line = outcome;
  }
  if (first_line->far_outside_is_inside) {
    return failure(-1, first_line->far_point,
                   "the formula's region reaches far outside the " + shape + ", for example near " +
                       point_text(first_line->far_point));
  }
  return {true, -1, {0, 0}, "the formula describes the " + shape};
}

}  // namespace

FormulaVerdict check_formula(std::span<const Point> vertices, const Formula& formula,
                             const std::function<void(int done, int total)>& progress) {
  const int vertex_count = static_cast<int>(vertices.size());
  if (vertex_count < 3) {
    return failure(
        -1, {0, 0},
        "a polygon needs at least three vertices, this one has " + std::to_string(vertex_count));
  }
  for (int i = 0; i < vertex_count; ++i) {
    if (!is_finite(vertices[i])) {
      return failure(
          -1, {0, 0},
          "vertex " + std::to_string(i) + " has a coordinate that is not a finite number");
    }
  }
  FormulaProgram program;
  std::string error;
  if (!compile_formula(formula, vertex_count, program, error)) {
    return failure(-1, {0, 0}, "malformed formula: " + error);
  }

  std::vector<Edge> edges(vertices.size());
  for (int i = 0; i < vertex_count; ++i) {
    const Point start = vertices[i];
    const Point end = vertices[(i + 1) % vertex_count];
    edges[i] = {start, end, !same_point(start, end)};
  }
  return check_edges(edges, program, kPolygonWords, progress);
}

FormulaVerdict check_region_formula(std::span<const EdgeSegment> segments, const Formula& formula,
                                    const std::function<void(int done, int total)>& progress) {
  const int edge_count = static_cast<int>(segments.size());
  if (edge_count < 3) {
    return failure(
        -1, {0, 0},
        "a region needs at least three edges, this one has " + std::to_string(edge_count));
  }
  std::vector<Edge> edges(segments.size());
  for (int i = 0; i < edge_count; ++i) {
    const EdgeSegment& segment = segments[i];
    if (!is_finite(segment.start) || !is_finite(segment.end)) {
      return failure(-1, {0, 0},
                     "edge " + std::to_string(i) + " has an end that is not a finite number");
    }
    edges[i] = {segment.start, segment.end, !same_point(segment.start, segment.end)};
  }
  FormulaProgram program;
  std::string error;
  if (!compile_formula(formula, edge_count, program, error)) {
    return failure(-1, {0, 0}, "malformed formula: " + error);
  }
  return check_edges(edges, program, kRegionWords, progress);
}

}  // namespace polyfrep
