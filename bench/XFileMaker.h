// Made-up X files of a given size and shape for the benchmark.
#pragma once

#include <cstddef>
#include <string>

// X files of the dialect the conversion expects, of about the given size.
// Textures: a material list full of texture blocks. Vertices: mostly vertex
// lines before a short material list.
enum Shape { SHAPE_TEXTURES, SHAPE_VERTICES };

std::string MakeXFile(Shape shape, std::size_t bytes);
