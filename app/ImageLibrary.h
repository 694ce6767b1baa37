#pragma once
#include <FreeImage.h>
#include <malloc.h>

namespace app {

// The image library is initialised for the whole run and released last.
class ImageLibrary {
public:
    ImageLibrary()
    {
        // Texture images of a few MB are made and freed again and again: kept
        // in the heap, they are not mapped, faulted in and unmapped each time.
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 64 << 20);
        FreeImage_Initialise(TRUE);
    }
    ~ImageLibrary() { FreeImage_DeInitialise(); }
    ImageLibrary(const ImageLibrary&) = delete;
    ImageLibrary& operator=(const ImageLibrary&) = delete;
};

}  // namespace app
