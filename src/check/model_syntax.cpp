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

// Recursive descent over the token stream, one token of look-ahead.
struct Parser {
  Lexer lexer;
  Token current;
  ModelSyntax syntax;
  std::unordered_map<std::string, int, NameHash, std::equal_to<>> name_numbers;
  int nesting = 0;
  int max_nesting = kMaxModelNesting;
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

// Every nested sub-expression passes through here, which bounds the depth.
struct NestingGuard {
  explicit NestingGuard(Parser& parser) : parser(parser) {
    if (++parser.nesting > parser.max_nesting) {
      throw ModelError(
          parser.current.where,
          "expression nested more than " + std::to_string(parser.max_nesting) + " levels deep");
    }
  }
  ~NestingGuard() { --parser.nesting; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
  Parser& parser;
};

int parse_expression(Parser& parser);

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

int parse_primary(Parser& parser) {
  const Token token = parser.current;
  if (token.kind == TokenKind::Number) {
    next(parser);
    const int node = add_node(parser, SyntaxKind::Number, token.where, {});
    parser.syntax.nodes[static_cast<std::size_t>(node)].number = token.number;
    return node;
  }
  if (token.kind == TokenKind::Name) {
    next(parser);
    int node = -1;
    if (at_symbol(parser, '(')) {
      next(parser);
      const std::vector<int> arguments = parse_arguments(parser, ')');
      node = add_node(parser, SyntaxKind::Call, token.where, arguments);
    } else if (at_symbol(parser, '[')) {
      next(parser);
      const int index = parse_expression(parser);
      expect_symbol(parser, ']');
      node = add_node(parser, SyntaxKind::Element, token.where, {index});
    } else {
      node = add_node(parser, SyntaxKind::Name, token.where, {});
    }
    parser.syntax.nodes[static_cast<std::size_t>(node)].name = name_number(parser, token.text);
    return node;
  }
  if (at_symbol(parser, '(')) {
    next(parser);
    const int inner = parse_expression(parser);
    if (!at_symbol(parser, ')')) {
      fail_expected(parser, "')' to close the '(' at " + std::to_string(token.where.line) + ":" +
                                std::to_string(token.where.column));
    }
    next(parser);
    return add_node(parser, SyntaxKind::Parentheses, token.where, {inner});
  }
  fail_expected(parser, "a number, a name or '('");
}

int parse_unary(Parser& parser) {
  if (at_symbol(parser, '-') || at_symbol(parser, '+')) {
    NestingGuard guard(parser);
    const Token sign = parser.current;
    next(parser);
    const int operand = parse_unary(parser);
    if (sign.text[0] == '+') return operand;
    return add_node(parser, SyntaxKind::Negate, sign.where, {operand});
  }
  return parse_primary(parser);
}

// Left-associative chains of one precedence level.
template <typename Operand>
int parse_chain(Parser& parser, std::string_view symbols, const SyntaxKind* kinds,
                Operand parse_operand) {
  int left = parse_operand(parser);
  while (parser.current.kind == TokenKind::Symbol &&
         symbols.find(parser.current.text[0]) != std::string_view::npos) {
    const Token op = parser.current;
    next(parser);
    const int right = parse_operand(parser);
    left = add_node(parser, kinds[symbols.find(op.text[0])], op.where, {left, right});
  }
  return left;
}

int parse_product(Parser& parser) {
  static constexpr SyntaxKind kKinds[] = {SyntaxKind::Multiply, SyntaxKind::Divide};
  return parse_chain(parser, "*/", kKinds, parse_unary);
}

int parse_sum(Parser& parser) {
  static constexpr SyntaxKind kKinds[] = {SyntaxKind::Add, SyntaxKind::Subtract};
  return parse_chain(parser, "+-", kKinds, parse_product);
}

// "&" and "|" bind loosest, with equal precedence, left to right.
int parse_expression(Parser& parser) {
  NestingGuard guard(parser);
  static constexpr SyntaxKind kKinds[] = {SyntaxKind::Intersect, SyntaxKind::Union};
  return parse_chain(parser, "&|", kKinds, parse_sum);
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
