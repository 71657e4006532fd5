#pragma once

// polyfrep: a simple polygon as a formula of its edges' half-planes.
//
// The records every part of the library shares, and its entry points.

#include <span>
#include <string>
#include <vector>

namespace polyfrep {

// One polygon vertex. Coordinates are taken from the input as they stand.
struct Point {
  double x;
  double y;
};

// Codes of a formula's operators, and of the parentheses of its flat view.
// An edge index (0 or more) stands for that edge's half-plane: the side on
// the left of the edge's direction, edge i running from vertex i to vertex
// (i + 1) mod n.
inline constexpr int TOKEN_OPEN = -1;
inline constexpr int TOKEN_CLOSE = -2;
inline constexpr int TOKEN_UNION = -3;
inline constexpr int TOKEN_INTERSECT = -4;

// A formula over edges' half-planes: a binary tree whose leaves are edges and
// whose inner nodes join two subformulas by intersection (TOKEN_INTERSECT) or
// union (TOKEN_UNION). The nodes are stored in prefix order: an operator is
// followed by its left operand, then by its right operand; an edge index
// stands alone. A formula of k edges has 2k - 1 nodes, and walking it needs
// no recursion however deeply it nests.
//
// The triangle (0,0), (1,0), (0,1) has the formula "(1)*(2*0)":
// nodes {TOKEN_INTERSECT, 1, TOKEN_INTERSECT, 2, 0}.
struct Formula {
  std::vector<int> nodes;
};

// The converter's formula of a polygon (vertices in boundary order, edge i
// from vertex i to vertex (i + 1) mod n): for a counter-clockwise simple
// outline it describes the polygon exactly, every cut checked in exact
// arithmetic and repaired where needed. Empty when the polygon has fewer
// than three vertices or its outline never turns left.
Formula polygon_formula(std::span<const Point> vertices);

// The formula as the converter writes it to "Formula.txt": edge numbers,
// "(", ")", "+" for union and "*" for intersection, nothing between them.
std::string compact_text(const Formula& formula);

// The converter as a function: the command line of the polyfrep program
// (argument_count counts the program's name), its files and messages
// included. Returns the program's exit status.
int run_converter(int argument_count, const char* const* arguments);

// The checker as a function: the command line of polyfrep-check, its report
// on standard output and its errors on standard error included. Returns its
// exit status: 0 the model is proven right, 1 it is not, 2 a usage error or
// a file that cannot be read.
int run_checker(int argument_count, const char* const* arguments);

}  // namespace polyfrep
