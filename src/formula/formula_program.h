#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "polyfrep/polyfrep.h"

namespace polyfrep {

// A formula over edge half-planes, compiled into a stack program that
// evaluates it on many points at once: one bit per point (or per interval of
// points), 64 to a word, with AND for intersection and OR for union.

enum class StepKind : unsigned char {
  kLoad,           // push the edge's bitset
  kIntersectEdge,  // top &= the edge's bitset
  kUniteEdge,      // top |= the edge's bitset
  kIntersect,      // pop one bitset and AND it into the new top
  kUnite,          // pop one bitset and OR it into the new top
};

struct ProgramStep {
  StepKind kind;
  int edge;  // for kLoad, kIntersectEdge and kUniteEdge; -1 otherwise
};

struct FormulaProgram {
  std::vector<ProgramStep> steps;
  int stack_depth = 1;  // bitsets alive at once while running
};

// Compiles a formula over edges 0 .. edge_count - 1. Returns false with a
// one-line description in `error` for a record that is no such formula;
// never recurses, so deeply nested formulas are safe.
bool compile_formula(const Formula& formula, int edge_count, FormulaProgram& program,
                     std::string& error);

using Word = std::uint64_t;
inline constexpr int kWordBits = 64;

// Bits begin .. end - 1 of a bitset: the points where one half-plane holds.
struct IntervalRange {
  int begin = 0;
  int end = 0;
};

// Runs the program with edge i's bitset given as edge_ranges[i] over
// word_count words. The result is the first word_count words of `stack`,
// which is resized as needed and can be reused between runs.
void run_program(const FormulaProgram& program, std::span<const IntervalRange> edge_ranges,
                 int word_count, std::vector<Word>& stack);

}  // namespace polyfrep
