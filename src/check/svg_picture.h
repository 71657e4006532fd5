#pragma once

#include <span>
#include <string>

#include "check/model_program.h"
#include "check/sampling.h"
#include "geometry/point.h"
#include "geometry/region.h"

namespace polyfrep {

// What the picture shows: the region where the model is positive, the input
// outline over it, the samples where the two disagree, the exact check's
// first failure, and a legend with the verdict.
struct PictureContent {
  std::span<const Point> vertices;
  std::span<const Ring> rings;  // a region's, each drawn on its own; none for one outline
  const CompiledModel* model = nullptr;
  std::span<const SampleDisagreement> disagreements;  // those to draw
  long long disagreeing = 0;                          // how many there are in all
  bool has_failure_point = false;
  Point failure_point{0, 0};
  std::string title;    // e.g. "poly.hf against polyIn2.txt"
  std::string verdict;  // one line
  bool right = false;   // colours the verdict
};

// Cells along the longer side of the raster of the model's region.
inline constexpr int kPictureCells = 320;

// The picture as SVG text.
std::string svg_picture(const PictureContent& content);

}  // namespace polyfrep
