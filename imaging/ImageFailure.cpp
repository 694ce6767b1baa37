#include "imaging/ImageFailure.h"

#include "imaging/ResourceError.h"

#include <new>

namespace imaging::detail {

ImageStatus CurrentFailureStatus()
{
    try {
        throw;
    } catch (const ResourceError&) {
        throw;
    } catch (const ImageFailure& failure) {
        return failure.Status();
    } catch (const std::bad_alloc&) {
        return ImageStatus::OutOfMemory;
    } catch (const std::runtime_error&) {
        return ImageStatus::OutOfMemory;
    }
}

}  // namespace imaging::detail
