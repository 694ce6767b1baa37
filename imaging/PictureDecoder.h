#pragma once

#include "imaging/ArgbBitmap.h"
#include "imaging/PictureProbe.h"

#include <filesystem>

namespace imaging {

// The first frame of a picture whose header ProbePicture read (the still of
// an animation), decoded straight into one 32-bit buffer where the format
// allows it: TIFF strips and WebP frames go into the bitmap's own pixels, so
// no second copy of the image exists. On failure an empty bitmap whose status
// says why; over the pixel cap, ValueOverflow. Throws ResourceError when
// memory runs out.
ArgbBitmap DecodePicture(const std::filesystem::path& path, const PictureInfo& info);

}  // namespace imaging
