#include "app/DescribeException.h"

#include "export/ComError.h"
#include "text/Unicode.h"

using engine::ComError;
using engine::HRESULT;
using engine::SystemMessage;

#include <cstdio>
#include <cxxabi.h>
#include <memory>
#include <string_view>
#include <typeinfo>

namespace app {

namespace {

std::string Demangle(const char* mangled)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(mangled);
}

std::string Hex(std::uint32_t value, bool upper)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, upper ? "%X" : "%x", value);
    return buffer;
}

std::string WideToUtf8(const std::wstring& text)
{
    std::string out;
    for (const wchar_t c : text)
        unicode::AppendUtf8(out, static_cast<char32_t>(c));
    return out;
}

std::string ComErrorMessage(const ComError& e)
{
    const auto hr = static_cast<std::uint32_t>(e.Error());
    std::string system;
    if (auto text = SystemMessage(e.Error())) {
        system = *text;
        while (!system.empty() && (system.back() == '\n' || system.back() == '\r'))
            system.pop_back();
    } else if (hr >= 0x80040201u && hr <= 0x8004FFFFu) {
        system = "IDispatch error #" + std::to_string(hr - 0x80040200u);
    } else {
        system = "Unknown error 0x" + Hex(hr, true);
    }
    std::string message;
    if (!e.Description().empty())
        message = e.Description() + ", ";
    return message + "HRESULT=0x" + Hex(hr, false) + " (" + system + ")";
}

struct Classified {
    std::string type;
    std::string message;
};

Classified Classify(const std::exception_ptr& exception, int depth)
{
    try {
        std::rethrow_exception(exception);
    } catch (const ComError& e) {
        return {"com_error", ComErrorMessage(e)};
    } catch (const std::exception& e) {
        return {RuntimeTypeName(typeid(e)), e.what()};
    } catch (const std::exception_ptr& inner) {
        if (inner && depth < 8)
            return Classify(inner, depth + 1);
        return {"", "unknown exception"};
    } catch (const std::wstring& text) {
        return {"wstring", WideToUtf8(text)};
    } catch (const wchar_t* text) {
        return {"wstring", text != nullptr ? WideToUtf8(text) : std::string()};
    } catch (const std::string& text) {
        return {"string", text};
    } catch (const char* text) {
        return {"string", text != nullptr ? std::string(text) : std::string()};
    } catch (...) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        return {type != nullptr ? Demangle(type->name()) : std::string(), "unknown exception"};
    }
}

}  // namespace

std::string RuntimeTypeName(const std::type_info& type)
{
    // The conversion errors are logged by their bare class names: the
    // namespace of the module that defines them is no part of the log.
    constexpr std::string_view kExportModule = "exporting::";
    std::string name = Demangle(type.name());
    if (name.starts_with(kExportModule))
        name.erase(0, kExportModule.size());
    return "class " + name;
}

std::string DescribeException(std::exception_ptr exception, bool withType, const std::string& context)
{
    std::string result;
    try {
        const Classified c = Classify(exception, 0);
        if (!context.empty())
            result = context + ": ";
        if (withType)
            result += "(" + c.type + ") ";
        result += c.message;
    } catch (const std::exception& e) {
        result = std::string("cannot format another exception: ") + e.what();
    } catch (...) {
        result = "cannot format another exception: unknown exception";
    }
    // The text is UTF-8 already; a leading byte-order mark is dropped.
    if (result.rfind("\xEF\xBB\xBF", 0) == 0)
        result.erase(0, 3);
    return result;
}

}  // namespace app
