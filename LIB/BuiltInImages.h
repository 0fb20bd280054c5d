#pragma once
#include "LoaderImageFile.h"

#include <string>

// The loader images built into the program: resources of type "BIN" held in the loader image
// text format (images/*.txt), one per name.
namespace builtinimages {

// Largest built-in image accepted, as for the external second-stage file.
inline constexpr std::size_t Capacity = 15'000'000;

// The image of that name; an empty image with a problem when there is none or it overflows.
loaderimage::LoaderImage Load(const std::string &name);

} // namespace builtinimages
