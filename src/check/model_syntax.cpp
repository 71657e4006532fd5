#include "check/model_syntax.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <unordered_map>
#include <utility>

namespace polyfrep {

namespace {

enum class TokenKind { Name, Number, Symbol, End };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string_view text;
  double number = 0;
  SourcePosition where;
};

bool is_name_start(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool is_name_part(char c) {
  return is_name_start(c) || std::isdigit(static_cast<unsigned char>(c));
}
bool is_digit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool is_symbol(char c) {
  constexpr std::string_view kSymbols = "()[]{},;=+-*/&|";
  return kSymbols.find(c) != std::string_view::npos;
}

// Splits the text into names, numbers and one-character symbols, skipping
// white space and "--" comments that run to the end of the line.
struct Lexer {
  std::string_view text;
  std::size_t offset = 0;
  int line = 1;
  int column = 1;
};

void advance(Lexer& lexer) {
  if (lexer.text[lexer.offset] == '\n') {
    ++lexer.line;
    lexer.column = 1;
  } else {
    ++lexer.column;
  }
  ++lexer.offset;
}

bool at(const Lexer& lexer, std::size_t ahead, char c) {
  return lexer.offset + ahead < lexer.text.size() && lexer.text[lexer.offset + ahead] == c;
}

void skip_blanks_and_comments(Lexer& lexer) {
  while (lexer.offset < lexer.text.size()) {
    const char c = lexer.text[lexer.offset];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
      advance(lexer);
    } else if (c == '-' && at(lexer, 1, '-')) {
      while (lexer.offset < lexer.text.size() && lexer.text[lexer.offset] != '\n')
        advance(lexer);
    } else {
      return;
    }
  }
}

// Digits with an optional fraction and an optional exponent, as "%g" writes
// them ("0.5", "1.23457e+06", "1e-05"); a leading "." is accepted too.
Token scan_number(Lexer& lexer, Token token) {
  const std::size_t begin = lexer.offset;
  while (lexer.offset < lexer.text.size() && is_digit(lexer.text[lexer.offset]))
    advance(lexer);
  if (at(lexer, 0, '.')) {
    advance(lexer);
    while (lexer.offset < lexer.text.size() && is_digit(lexer.text[lexer.offset]))
      advance(lexer);
  }
  if (at(lexer, 0, 'e') || at(lexer, 0, 'E')) {
    advance(lexer);
    if (at(lexer, 0, '+') || at(lexer, 0, '-')) advance(lexer);
    if (lexer.offset >= lexer.text.size() || !is_digit(lexer.text[lexer.offset])) {
      throw ModelError(token.where, "malformed number: exponent without digits");
    }
    while (lexer.offset < lexer.text.size() && is_digit(lexer.text[lexer.offset]))
      advance(lexer);
  }
  token.text = lexer.text.substr(begin, lexer.offset - begin);
  if (token.text == ".") throw ModelError(token.where, "malformed number '.'");
  const auto result =
      std::from_chars(token.text.data(), token.text.data() + token.text.size(), token.number);
  if (result.ec != std::errc() || !std::isfinite(token.number)) {
    throw ModelError(token.where, "number " + std::string(token.text) + " is out of range");
  }
  token.kind = TokenKind::Number;
  return token;
}

Token next_token(Lexer& lexer) {
  skip_blanks_and_comments(lexer);
  Token token;
  token.where = {lexer.line, lexer.column};
  if (lexer.offset >= lexer.text.size()) return token;
  const char c = lexer.text[lexer.offset];
  if (is_name_start(c)) {
    const std::size_t begin = lexer.offset;
    while (lexer.offset < lexer.text.size() && is_name_part(lexer.text[lexer.offset])) {
      advance(lexer);
    }
    token.kind = TokenKind::Name;
    token.text = lexer.text.substr(begin, lexer.offset - begin);
    return token;
  }
  if (is_digit(c) || (c == '.' && lexer.offset + 1 < lexer.text.size() &&
                      is_digit(lexer.text[lexer.offset + 1]))) {
    return scan_number(lexer, token);
  }
  if (is_symbol(c)) {
    token.kind = TokenKind::Symbol;
    token.text = lexer.text.substr(lexer.offset, 1);
    advance(lexer);
    return token;
  }
  throw ModelError(token.where, "unexpected character " + describe_character(c));
}

std::string describe_token(const Token& token) {
  switch (token.kind) {
    case TokenKind::End:
      return "end of file";
    case TokenKind::Name:
    case TokenKind::Number:
    case TokenKind::Symbol:
      break;
  }
  return "'" + std::string(token.text) + "'";
}

// Looks names up by view, without making a string of each occurrence.
struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const {
    return std::hash<std::string_view>{}(name);
  }
};

// An operator, sign or bracket whose operand is still being read. The
// expression reader keeps these on a stack of its own instead of the call
// stack, so that nesting as deep as the text allows costs heap memory only.
enum class PendingKind : std::uint8_t {
  Binary,   // `operation`, waiting for its right operand
  Minus,    // a sign, waiting for its operand
  Plus,     // a sign that leaves its operand as it is
  Group,    // '(' expression ')'
  Call,     // name '(' arguments ')'
  Element,  // name '[' expression ']'
};

struct Pending {
  SourcePosition where;    // of the operator, the sign, or the name or '(' that opened it
  int first_argument = 0;  // a call's: where its arguments start on the operand stack
  PendingKind kind = PendingKind::Binary;
  SyntaxKind operation = SyntaxKind::Add;
};

// The token stream with one token of look-ahead, and the expression
// reader's stacks.
struct Parser {
  Lexer lexer;
  Token current;
  ModelSyntax syntax;
  std::unordered_map<std::string, int, NameHash, std::equal_to<>> name_numbers;
  int nesting = 0;  // expressions being read plus signs waiting for their operand
  int max_nesting = kMaxModelNesting;
  std::vector<Pending> pending;
  std::vector<int> operands;                 // nodes read but not yet taken by an operator
  std::vector<std::string_view> open_names;  // of the pending calls and elements
};

void next(Parser& parser) {
  parser.current = next_token(parser.lexer);
}

bool at_symbol(const Parser& parser, char symbol) {
  return parser.current.kind == TokenKind::Symbol && parser.current.text[0] == symbol;
}

[[noreturn]] void fail_expected(const Parser& parser, const std::string& expected) {
  throw ModelError(parser.current.where,
                   "expected " + expected + ", found " + describe_token(parser.current));
}

void expect_symbol(Parser& parser, char symbol) {
  if (!at_symbol(parser, symbol)) fail_expected(parser, std::string("'") + symbol + "'");
  next(parser);
}

std::string expect_name(Parser& parser, const char* what) {
  if (parser.current.kind != TokenKind::Name) fail_expected(parser, what);
  std::string name(parser.current.text);
  next(parser);
  return name;
}

int add_node(Parser& parser, SyntaxKind kind, SourcePosition where, std::span<const int> operands) {
  SyntaxNode node;
  node.kind = kind;
  node.where = where;
  node.first_operand = static_cast<int>(parser.syntax.operands.size());
  node.operand_count = static_cast<int>(operands.size());
  parser.syntax.operands.insert(parser.syntax.operands.end(), operands.begin(), operands.end());
  parser.syntax.nodes.push_back(node);
  return static_cast<int>(parser.syntax.nodes.size()) - 1;
}

int add_node(Parser& parser, SyntaxKind kind, SourcePosition where,
             std::initializer_list<int> operands) {
  return add_node(parser, kind, where, std::span<const int>(operands.begin(), operands.size()));
}

// The number of a name in the syntax's name pool, adding it when new.
int name_number(Parser& parser, std::string_view name) {
  const auto found = parser.name_numbers.find(name);
  if (found != parser.name_numbers.end()) return found->second;
  const int number = static_cast<int>(parser.syntax.names.size());
  parser.syntax.names.emplace_back(name);
  parser.name_numbers.emplace(std::string(name), number);
  return number;
}

// Every expression and every sign being read counts towards the depth that
// is refused beyond the limit.
void enter_nesting(Parser& parser) {
  if (++parser.nesting > parser.max_nesting) {
    throw ModelError(parser.current.where, "expression nested more than " +
                                               std::to_string(parser.max_nesting) + " levels deep");
  }
}

void push_operand(Parser& parser, int node) {
  parser.operands.push_back(node);
}

int pop_operand(Parser& parser) {
  const int node = parser.operands.back();
  parser.operands.pop_back();
  return node;
}

// Sets the name of a call or element node from the innermost open name.
void take_open_name(Parser& parser, int node) {
  parser.syntax.nodes[static_cast<std::size_t>(node)].name =
      name_number(parser, parser.open_names.back());
  parser.open_names.pop_back();
}

// Reads the signs in front of an operand and the operand itself. Returns
// false when the operand opens a bracket: the bracket stays pending and the
// expression inside it is read next.
bool read_operand(Parser& parser) {
  while (at_symbol(parser, '-') || at_symbol(parser, '+')) {
    enter_nesting(parser);
    const PendingKind sign = at_symbol(parser, '-') ? PendingKind::Minus : PendingKind::Plus;
    parser.pending.push_back({parser.current.where, 0, sign});
    next(parser);
  }
  const Token token = parser.current;
  if (token.kind == TokenKind::Number) {
    next(parser);
    const int node = add_node(parser, SyntaxKind::Number, token.where, {});
    parser.syntax.nodes[static_cast<std::size_t>(node)].number = token.number;
    push_operand(parser, node);
    return true;
  }
  if (token.kind == TokenKind::Name) {
    next(parser);
    const bool call = at_symbol(parser, '(');
    if (call || at_symbol(parser, '[')) {
      next(parser);
      parser.open_names.push_back(token.text);
      if (call && at_symbol(parser, ')')) {
        next(parser);
        const int node = add_node(parser, SyntaxKind::Call, token.where, {});
        take_open_name(parser, node);
        push_operand(parser, node);
        return true;
      }
      const int first_argument = static_cast<int>(parser.operands.size());
      parser.pending.push_back(
          {token.where, first_argument, call ? PendingKind::Call : PendingKind::Element});
      enter_nesting(parser);
      return false;
    }
    const int node = add_node(parser, SyntaxKind::Name, token.where, {});
    parser.syntax.nodes[static_cast<std::size_t>(node)].name = name_number(parser, token.text);
    push_operand(parser, node);
    return true;
  }
  if (at_symbol(parser, '(')) {
    next(parser);
    parser.pending.push_back({token.where, 0, PendingKind::Group});
    enter_nesting(parser);
    return false;
  }
  fail_expected(parser, "a number, a name or '('");
}

// Signs bind tighter than any operator: they take the operand just read.
void apply_signs(Parser& parser) {
  while (!parser.pending.empty() && (parser.pending.back().kind == PendingKind::Minus ||
                                     parser.pending.back().kind == PendingKind::Plus)) {
    const Pending sign = parser.pending.back();
    parser.pending.pop_back();
    --parser.nesting;
    if (sign.kind == PendingKind::Minus) {
      push_operand(parser, add_node(parser, SyntaxKind::Negate, sign.where, {pop_operand(parser)}));
    }
  }
}

// "&" and "|" bind loosest, "*" and "/" tightest; operators of one level
// group from the left.
int binding_level(SyntaxKind operation) {
  switch (operation) {
    case SyntaxKind::Multiply:
    case SyntaxKind::Divide:
      return 2;
    case SyntaxKind::Add:
    case SyntaxKind::Subtract:
      return 1;
    default:
      return 0;
  }
}

// Joins the pending operators that bind at least as tightly as `level` with
// their operands, innermost first.
void join_operators(Parser& parser, int level) {
  while (!parser.pending.empty() && parser.pending.back().kind == PendingKind::Binary &&
         binding_level(parser.pending.back().operation) >= level) {
    const Pending op = parser.pending.back();
    parser.pending.pop_back();
    const int right = pop_operand(parser);
    const int left = pop_operand(parser);
    push_operand(parser, add_node(parser, op.operation, op.where, {left, right}));
  }
}

// Reads the operator after an operand; false when none follows and the
// innermost expression ends there.
bool read_operator(Parser& parser) {
  if (parser.current.kind != TokenKind::Symbol) return false;
  constexpr std::string_view kSymbols = "+-*/&|";
  static constexpr SyntaxKind kKinds[] = {SyntaxKind::Add,       SyntaxKind::Subtract,
                                          SyntaxKind::Multiply,  SyntaxKind::Divide,
                                          SyntaxKind::Intersect, SyntaxKind::Union};
  const std::size_t found = kSymbols.find(parser.current.text[0]);
  if (found == std::string_view::npos) return false;
  const SyntaxKind operation = kKinds[found];
  join_operators(parser, binding_level(operation));
  parser.pending.push_back({parser.current.where, 0, PendingKind::Binary, operation});
  next(parser);
  return true;
}

// Closes the bracket whose expression has just ended, making it an operand.
// Returns false when a call's next argument follows instead.
bool close_bracket(Parser& parser) {
  const Pending open = parser.pending.back();
  if (open.kind == PendingKind::Group) {
    if (!at_symbol(parser, ')')) {
      fail_expected(parser, "')' to close the '(' at " + std::to_string(open.where.line) + ":" +
                                std::to_string(open.where.column));
    }
    next(parser);
    push_operand(parser,
                 add_node(parser, SyntaxKind::Parentheses, open.where, {pop_operand(parser)}));
  } else if (open.kind == PendingKind::Element) {
    expect_symbol(parser, ']');
    const int node = add_node(parser, SyntaxKind::Element, open.where, {pop_operand(parser)});
    take_open_name(parser, node);
    push_operand(parser, node);
  } else {
    if (at_symbol(parser, ',')) {
      next(parser);
      enter_nesting(parser);
      return false;
    }
    expect_symbol(parser, ')');
    const auto first = static_cast<std::size_t>(open.first_argument);
    const int node = add_node(parser, SyntaxKind::Call, open.where,
                              std::span<const int>(parser.operands).subspan(first));
    parser.operands.resize(first);
    take_open_name(parser, node);
    push_operand(parser, node);
  }
  parser.pending.pop_back();
  return true;
}

// One expression, with everything nested in it. Operators wait on the
// pending stack until an operator that binds no tighter, or the end of their
// expression, shows that their right operand is complete.
int parse_expression(Parser& parser) {
  const std::size_t outermost = parser.pending.size();
  enter_nesting(parser);
  while (true) {
    if (!read_operand(parser)) continue;
    while (true) {
      apply_signs(parser);
      if (read_operator(parser)) break;
      join_operators(parser, 0);
      --parser.nesting;
      if (parser.pending.size() == outermost) return pop_operand(parser);
      if (!close_bracket(parser)) break;
    }
  }
}

// Comma-separated expressions up to the closing symbol, which is consumed.
std::vector<int> parse_arguments(Parser& parser, char closing) {
  std::vector<int> arguments;
  if (!at_symbol(parser, closing)) {
    while (true) {
      arguments.push_back(parse_expression(parser));
      if (!at_symbol(parser, ',')) break;
      next(parser);
    }
  }
  expect_symbol(parser, closing);
  return arguments;
}

ArrayDeclaration parse_array_declaration(Parser& parser) {
  ArrayDeclaration declaration;
  declaration.where = parser.current.where;
  declaration.name = expect_name(parser, "an array name");
  expect_symbol(parser, '[');
  if (parser.current.kind != TokenKind::Number || parser.current.number < 1 ||
      parser.current.number > 1000000 ||
      parser.current.number != std::floor(parser.current.number)) {
    fail_expected(parser, "a whole array size of at least 1");
  }
  declaration.size = static_cast<int>(parser.current.number);
  next(parser);
  expect_symbol(parser, ']');
  return declaration;
}

void parse_head(Parser& parser) {
  parser.syntax.object_where = parser.current.where;
  parser.syntax.object_name = expect_name(parser, "the object's name");
  expect_symbol(parser, '(');
  while (true) {
    parser.syntax.parameters.push_back(parse_array_declaration(parser));
    if (!at_symbol(parser, ',')) break;
    next(parser);
  }
  expect_symbol(parser, ')');
}

Statement parse_statement(Parser& parser) {
  Statement statement;
  statement.where = parser.current.where;
  if (parser.current.kind == TokenKind::Name && parser.current.text == "array") {
    next(parser);
    while (true) {
      statement.declarations.push_back(parse_array_declaration(parser));
      if (!at_symbol(parser, ',')) break;
      next(parser);
    }
  } else {
    statement.target = expect_name(parser, "a statement");
    if (at_symbol(parser, '[')) {
      next(parser);
      statement.target_index = parse_expression(parser);
      expect_symbol(parser, ']');
    }
    expect_symbol(parser, '=');
    if (at_symbol(parser, '[')) {
      const SourcePosition where = parser.current.where;
      next(parser);
      const std::vector<int> elements = parse_arguments(parser, ']');
      statement.value = add_node(parser, SyntaxKind::VectorLiteral, where, elements);
    } else {
      statement.value = parse_expression(parser);
    }
  }
  expect_symbol(parser, ';');
  return statement;
}

}  // namespace

std::string describe_character(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte < 0x7f) return std::string("'") + c + "'";
  static constexpr char kHex[] = "0123456789abcdef";
  return std::string("'\\x") + kHex[byte >> 4] + kHex[byte & 15] + "'";
}

ModelSyntax parse_model(std::string_view text, int max_nesting) {
  Parser parser;
  parser.lexer.text = text;
  parser.max_nesting = max_nesting;
  // Every node takes at least one byte of text and models written by the
  // converter take about three per node, so reserving that many up front
  // spares a large model the copies of a growing vector; pages reserved but
  // never used cost no memory.
  parser.syntax.nodes.reserve(text.size() / 3);
  parser.syntax.operands.reserve(text.size() / 3);
  next(parser);
  parse_head(parser);
  expect_symbol(parser, '{');
  while (!at_symbol(parser, '}')) {
    if (parser.current.kind == TokenKind::End) fail_expected(parser, "'}' to end the object");
    parser.syntax.statements.push_back(parse_statement(parser));
  }
  next(parser);
  if (parser.current.kind != TokenKind::End) fail_expected(parser, "end of file after '}'");
  return std::move(parser.syntax);
}

}  // namespace polyfrep
