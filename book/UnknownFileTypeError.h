#pragma once
#include <exception>

namespace bookparser {

// The book model's own "this is not a book" signal: the unpacked package has
// no book description. It carries no message of its own.
class UnknownFileTypeError : public std::exception {};

}  // namespace bookparser
