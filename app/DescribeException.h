#pragma once
#include <exception>
#include <string>

namespace app {

// One line describing a caught exception: optional context, the type in
// parentheses when withType is set, then the message. Never throws.
std::string DescribeException(std::exception_ptr exception, bool withType, const std::string& context = {});

// "class " + the demangled name of a type, as run-time type names are shown
// (the conversion errors without their module namespace).
std::string RuntimeTypeName(const std::type_info& type);

}  // namespace app
