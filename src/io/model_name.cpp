#include "io/model_name.h"

#include <algorithm>

namespace polyfrep {

std::string derive_model_name(std::string_view input_name) {
  std::string_view stem = input_name.substr(0, input_name.find('.'));
  stem = stem.substr(0, std::min(stem.size(), kMaxModelStem));
  std::string model_name(stem);
  model_name += ".hf";
  return model_name;
}

}  // namespace polyfrep
