#include <charconv>
#include <cmath>
#include <vector>

#include "check/model_loading.h"
#include "check/model_syntax.h"
#include "formula/formula.h"
#include "formula/formula_text.h"
#include "io/model_layout.h"

namespace polyfrep {

namespace {

using namespace model_layout;

// The comment line and the head take four lines, a block five.
constexpr int kHeadLines = 4;
constexpr int kBlockLines = 5;

// The shortest block, with one-digit coordinates and edge number: a bound
// on how many blocks a text of some size can hold.
constexpr std::size_t kShortestBlock =
    2 * (kStartHead.size() + 1 + kBetweenCoordinates.size() + 1 + kVectorEnd.size()) +
    kLengthLine.size() + 1 + kDistanceLine.size();

struct LayoutReader {
  std::string_view text;
  std::size_t at = 0;
};

bool next_is(const LayoutReader& reader, std::string_view expected) {
  return reader.text.compare(reader.at, expected.size(), expected) == 0;
}

bool take(LayoutReader& reader, std::string_view expected) {
  if (!next_is(reader, expected)) return false;
  reader.at += expected.size();
  return true;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool digit_at(const LayoutReader& reader, std::size_t ahead) {
  return reader.at + ahead < reader.text.size() && is_digit(reader.text[reader.at + ahead]);
}

bool char_at(const LayoutReader& reader, char c) {
  return reader.at < reader.text.size() && reader.text[reader.at] == c;
}

void skip_digits(LayoutReader& reader) {
  while (digit_at(reader, 0))
    ++reader.at;
}

// Digits with an optional fraction and exponent, exactly the span the
// model's own reader takes as one number; false where that reader would
// refuse the text.
bool skip_number_text(LayoutReader& reader) {
  if (!digit_at(reader, 0) && !(char_at(reader, '.') && digit_at(reader, 1))) return false;
  skip_digits(reader);
  if (char_at(reader, '.')) {
    ++reader.at;
    skip_digits(reader);
  }
  if (char_at(reader, 'e') || char_at(reader, 'E')) {
    ++reader.at;
    if (char_at(reader, '+') || char_at(reader, '-')) ++reader.at;
    if (!digit_at(reader, 0)) return false;
    skip_digits(reader);
  }
  return true;
}

// A coordinate, converted as the model's reader converts the same digits
// and negated after, as compile_model folds a minus sign in front of a
// number. False for a number out of range, which that reader refuses.
bool take_coordinate(LayoutReader& reader, double& value) {
  const bool negative = take(reader, "-");
  const std::size_t begin = reader.at;
  if (!skip_number_text(reader)) return false;
  const char* const text = reader.text.data();
  const auto result = std::from_chars(text + begin, text + reader.at, value);
  if (result.ec != std::errc() || !std::isfinite(value)) return false;
  if (negative) value = -value;
  return true;
}

// "p0 = [X, Y];\n" with the given head.
bool take_point(LayoutReader& reader, std::string_view head, Point& point) {
  return take(reader, head) && take_coordinate(reader, point.x) &&
         take(reader, kBetweenCoordinates) && take_coordinate(reader, point.y) &&
         take(reader, kVectorEnd);
}

bool take_edge_number(LayoutReader& reader, int edge) {
  char digits[16];
  const auto written = std::to_chars(digits, digits + sizeof digits, edge);
  return take(reader, std::string_view(digits, static_cast<std::size_t>(written.ptr - digits)));
}

// One edge's block. Its length must be finite and not zero: a length that
// is not, and every constant folded on the way to it, would be reported as
// a problem of the model, which only the syntax tree can place.
bool take_edge_block(LayoutReader& reader, int edge, WrittenEdge& written) {
  if (!take_point(reader, kStartHead, written.start) ||
      !take_point(reader, kEndHead, written.end) || !take(reader, kLengthLine) ||
      !take_edge_number(reader, edge) || !take(reader, kDistanceLine)) {
    return false;
  }
  written.length = written_length(written.start, written.end);
  return std::isfinite(written.length) && written.length != 0;
}

// Past the comment line and the head; false when the text does not start so.
bool take_head(LayoutReader& reader) {
  if (!take(reader, "--")) return false;
  const std::size_t line_end = reader.text.find('\n', reader.at);
  if (line_end == std::string_view::npos) return false;
  reader.at = line_end + 1;
  return take(reader, kHead);
}

// The formula's text between "polygon = " and the tail that ends the text.
bool take_formula_text(LayoutReader& reader, std::string_view& formula) {
  if (!take(reader, kFormulaHead) || !reader.text.ends_with(kTail) ||
      reader.at + kTail.size() > reader.text.size()) {
    return false;
  }
  formula = reader.text.substr(reader.at, reader.text.size() - kTail.size() - reader.at);
  return true;
}

// Whether the model's reader takes the formula text as parse_formula_text
// does, which it does but for two cases: an edge number with a leading zero
// ("s01" is no distance variable to it), and parentheses nested as deeply
// as its limit.
bool formula_reads_alike(std::string_view formula) {
  int depth = 0;
  for (std::size_t k = 0; k < formula.size(); ++k) {
    const char c = formula[k];
    if (c == '(' && ++depth >= kMaxModelNesting - 1) return false;
    if (c == ')') --depth;
    if (c == 's' && k + 2 < formula.size() && formula[k + 1] == '0' && is_digit(formula[k + 2]))
      return false;
  }
  return true;
}

// Edge e's distance node is node e and its slot is slot e, named "se", as
// compiling the blocks in order numbers the slots.
void add_edge_distances(CompiledModel& model) {
  const std::size_t edge_count = model.written_edges.size();
  model.nodes.reserve(2 * edge_count);
  model.slots.reserve(edge_count);
  model.edge_slots.reserve(edge_count);
  model.slot_names.reserve(8 * edge_count);
  char digits[16];
  for (int edge = 0; static_cast<std::size_t>(edge) < edge_count; ++edge) {
    ExpressionNode distance;
    distance.operation = Operation::EdgeDistance;
    distance.index = edge;
    model.nodes.push_back(distance);
    const auto written = std::to_chars(digits, digits + sizeof digits, edge);
    VariableSlot slot;
    slot.name_begin = static_cast<int>(model.slot_names.size());
    slot.name_size = 1 + static_cast<int>(written.ptr - digits);
    slot.root = edge;
    slot.edge = edge;
    model.slot_names += 's';
    model.slot_names.append(digits, written.ptr);
    model.slots.push_back(slot);
    model.edge_slots.push_back({edge, edge});
  }
}

// The formula's "&" and "|" as Minimum and Maximum nodes over the distance
// nodes, each after its operands as compile_model orders them: read
// backwards, the prefix order meets an operator after both its operands,
// the left one on top. Returns the root.
int add_formula_nodes(CompiledModel& model, const Formula& formula) {
  std::vector<int> operands;
  for (auto token = formula.nodes.rbegin(); token != formula.nodes.rend(); ++token) {
    if (!is_operator(*token)) {
      operands.push_back(*token);
      continue;
    }
    ExpressionNode node;
    node.operation = *token == TOKEN_INTERSECT ? Operation::Minimum : Operation::Maximum;
    node.left = operands.back();
    operands.pop_back();
    node.right = operands.back();
    operands.pop_back();
    model.nodes.push_back(node);
    operands.push_back(static_cast<int>(model.nodes.size()) - 1);
  }
  return operands.back();
}

}  // namespace

std::optional<LoadedModel> load_converter_layout(std::string_view text) {
  LayoutReader reader{text, 0};
  if (!take_head(reader)) return std::nullopt;
  LoadedModel loaded;
  CompiledModel& model = loaded.model;
  model.written_edges.reserve(text.size() / kShortestBlock + 1);
  while (next_is(reader, kStartHead)) {
    WrittenEdge edge;
    if (!take_edge_block(reader, static_cast<int>(model.written_edges.size()), edge))
      return std::nullopt;
    model.written_edges.push_back(edge);
  }
  std::string_view formula_text;
  if (!take_formula_text(reader, formula_text) || !formula_reads_alike(formula_text))
    return std::nullopt;
  const int edge_count = static_cast<int>(model.written_edges.size());
  ParsedFormula parsed = parse_formula_text(formula_text, edge_count, kModelSpelling);
  if (!parsed.error.empty()) return std::nullopt;
  model.object_name = "polygon";
  model.coordinate_count = 3;
  add_edge_distances(model);
  model.root = add_formula_nodes(model, parsed.formula);
  model.formula_where = {kHeadLines + kBlockLines * edge_count + 1, 1};
  loaded.formula.complete = true;
  loaded.formula.formula = std::move(parsed.formula);
  return loaded;
}

}  // namespace polyfrep
