#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace polyfrep {

// A place in the model text: 1-based line and column (columns count bytes).
struct SourcePosition {
  int line = 0;
  int column = 0;
};

// A model that cannot be read or compiled: the message names no file, the
// caller puts the file name and the position in front of it.
class ModelError : public std::runtime_error {
 public:
  ModelError(SourcePosition where, const std::string& message)
      : std::runtime_error(message), where(where) {}
  SourcePosition where;
};

// Deeper nesting than this is refused. Every walk over the tree keeps its
// own stack on the heap, so depth costs memory only; the limit keeps a text
// of nothing but brackets from taking gigabytes of it.
inline constexpr int kMaxModelNesting = 10000000;

enum class SyntaxKind : std::uint8_t {
  Number,   // number
  Name,     // a variable, by text
  Element,  // text[operands[0]]
  Call,     // text(operands...)
  Negate,   // -operands[0]
  Add,      // operands[0] + operands[1], and so on for the binary kinds
  Subtract,
  Multiply,
  Divide,
  Intersect,      // &
  Union,          // |
  Parentheses,    // (operands[0]); kept so that the formula keeps its grouping
  VectorLiteral,  // [operands...], only as the right side of an assignment
};

// One node of the parsed text; children are indices into ModelSyntax::nodes,
// so that deep trees are neither built nor destroyed recursively. Names and
// operand lists live in shared pools of the ModelSyntax (see node_name and
// node_operands), which keeps a node small and free of heap allocations: a
// large model has millions of them.
struct SyntaxNode {
  double number = 0;
  SourcePosition where;
  int name = -1;          // into ModelSyntax::names, for names, elements and calls
  int first_operand = 0;  // operands: ModelSyntax::operands[first_operand ..][.. operand_count]
  int operand_count = 0;
  SyntaxKind kind = SyntaxKind::Number;
};

struct ArrayDeclaration {
  std::string name;
  int size = 0;
  SourcePosition where;
};

// An "array a[2],b[2];" line (declarations filled) or an assignment
// "target = value;" / "target[index] = value;".
struct Statement {
  SourcePosition where;
  std::vector<ArrayDeclaration> declarations;
  std::string target;
  int target_index = -1;  // node of the element index, or -1 for a whole variable
  int value = -1;         // node of the right side, or -1 for a declaration
};

// The whole model: object head, its parameter list and its body.
struct ModelSyntax {
  std::string object_name;
  SourcePosition object_where;
  std::vector<ArrayDeclaration> parameters;  // the first one is the point, x[3]
  std::vector<Statement> statements;
  std::vector<SyntaxNode> nodes;
  std::vector<std::string> names;  // each distinct name once
  std::vector<int> operands;       // the operand lists of all nodes, one after another
};

// The text of a name, element or call node.
inline const std::string& node_name(const ModelSyntax& syntax, const SyntaxNode& node) {
  return syntax.names[static_cast<std::size_t>(node.name)];
}

// The operands of a node, in order.
inline std::span<const int> node_operands(const ModelSyntax& syntax, const SyntaxNode& node) {
  return std::span<const int>(syntax.operands)
      .subspan(static_cast<std::size_t>(node.first_operand),
               static_cast<std::size_t>(node.operand_count));
}

// Parses a model text; throws ModelError naming the position of the first
// syntax error. Nesting deeper than max_nesting is refused.
ModelSyntax parse_model(std::string_view text, int max_nesting = kMaxModelNesting);

// A short description of a byte for messages: "'x'", "'\x01'".
std::string describe_character(char c);

}  // namespace polyfrep
