#include "imaging/DecodingBudget.h"

namespace imaging {

namespace {
thread_local DecodingBudget* current = nullptr;
}

DecodingBudget::DecodingBudget(std::int64_t pixels) noexcept : left_(pixels), outer_(current)
{
    current = this;
}

DecodingBudget::~DecodingBudget() { current = outer_; }

bool DecodingBudget::Take(std::int64_t pixels) noexcept
{
    if (current == nullptr)
        return true;
    if (pixels > current->left_)
        return false;
    current->left_ -= pixels;
    return true;
}

}  // namespace imaging
