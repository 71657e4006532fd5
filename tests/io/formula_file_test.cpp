#include "io/formula_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace polyfrep {
namespace {

std::string token_text(const std::vector<int>& codes) {
  TokenList list = make_token_list(static_cast<int>(codes.size()));
  for (int code : codes)
    push_token(list, code);
  TextOutput out;
  write_formula_tokens(list, out);
  return std::string(written_text(out));
}

TEST(FormulaTokens, WriteWithoutSeparators) {
  EXPECT_EQ(token_text({TOKEN_OPEN, 1, TOKEN_CLOSE, TOKEN_INTERSECT, TOKEN_OPEN, 2, TOKEN_INTERSECT,
                        0, TOKEN_CLOSE}),
            "(1)*(2*0)");
  EXPECT_EQ(token_text({TOKEN_OPEN, 12, TOKEN_UNION, 7, TOKEN_CLOSE}), "(12+7)");
  EXPECT_EQ(token_text({}), "");
}

TEST(PushToken, DropsTokensBeyondCapacity) {
  TokenList list = make_token_list(2);
  push_token(list, 5);
  push_token(list, TOKEN_OPEN);
  push_token(list, 9);
  push_token(list, 10);
  ASSERT_EQ(list.count, 2);
  EXPECT_EQ(list.items[0], 5);
  EXPECT_EQ(list.items[1], TOKEN_OPEN);

  TokenList empty = make_token_list(0);
  push_token(empty, 1);
  EXPECT_EQ(empty.count, 0);
}

}  // namespace
}  // namespace polyfrep
