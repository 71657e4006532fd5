#include "check/model_loading.h"

#include "check/model_syntax.h"

namespace polyfrep {

LoadedModel load_model_text(std::string_view text) {
  std::optional<LoadedModel> laid_out = load_converter_layout(text);
  if (laid_out) return std::move(*laid_out);
  return compile_model_text(text);
}

LoadedModel compile_model_text(std::string_view text) {
  LoadedModel loaded;
  // The syntax tree, the largest thing a big model holds, is let go as soon
  // as the compiled model and the formula are made from it.
  const ModelSyntax syntax = parse_model(text);
  loaded.model = compile_model(syntax);
  loaded.formula = extract_formula(syntax, loaded.model);
  return loaded;
}

}  // namespace polyfrep
