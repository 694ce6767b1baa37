#pragma once
#include "export/ComError.h"

namespace exporting {

// An automation object that is expected but absent is an invalid pointer.
template <class Pointer>
Pointer Require(Pointer object)
{
    if (!object)
        throw engine::ComError(engine::E_POINTER);
    return object;
}

}  // namespace exporting
