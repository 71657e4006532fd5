#pragma once

#include <string>
#include <string_view>

namespace polyfrep {

// The longest stem taken from the input name for the model name.
inline constexpr std::size_t kMaxModelStem = 100;

// The model name derived from an input name: its characters before the first
// "." anywhere (directory part included), at most 100 of them, then ".hf".
// "shape.txt" gives "shape.hf", "a.b.c" gives "a.hf", "./in.txt" gives ".hf".
std::string derive_model_name(std::string_view input_name);

}  // namespace polyfrep
