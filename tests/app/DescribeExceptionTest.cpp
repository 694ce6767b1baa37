#include "export/ConversionErrors.h"
#include "app/DescribeException.h"
#include "export/ComError.h"

#include <gtest/gtest.h>

using namespace exporting;

using namespace app;

using namespace engine;

namespace {

template <class T>
std::string Describe(T thrown, bool withType = true, const std::string& context = {})
{
    try {
        throw thrown;
    } catch (...) {
        return DescribeException(std::current_exception(), withType, context);
    }
}

struct Custom {};

TEST(DescribeException, Classification)
{
    EXPECT_EQ(Describe(std::runtime_error("Can't unzip book")), "(class std::runtime_error) Can't unzip book");
    EXPECT_EQ(Describe(UnknownFileTypeError("not a zip archive")), "(class UnknownFileTypeError) not a zip archive");
    EXPECT_EQ(Describe(FileCorruptedError("d", "the archive has no entries")),
              "(class FileCorruptedError) the archive has no entries");
    EXPECT_EQ(Describe(std::string("text")), "(string) text");
    EXPECT_EQ(Describe("chars"), "(string) chars");
    EXPECT_EQ(Describe(std::wstring(L"\x043C\x4E66")), "(wstring) \xD0\xBC\xE4\xB9\xA6");
    EXPECT_EQ(Describe(42), "(int) unknown exception");
    EXPECT_EQ(Describe(Custom()), "((anonymous namespace)::Custom) unknown exception");
    EXPECT_EQ(Describe(std::make_exception_ptr(std::logic_error("inner"))), "(class std::logic_error) inner");
}

TEST(DescribeException, ContextAndType)
{
    EXPECT_EQ(Describe(std::runtime_error("m"), false), "m");
    EXPECT_EQ(Describe(std::runtime_error("m"), true, "ctx"), "ctx: (class std::runtime_error) m");
    EXPECT_EQ(Describe(std::string("\xEF\xBB\xBFx"), false), "x");
}

TEST(DescribeException, ComErrors)
{
    EXPECT_EQ(Describe(ComError(E_INVALIDARG)), "(com_error) HRESULT=0x80070057 (The parameter is incorrect.)");
    EXPECT_EQ(Describe(ComError(E_POINTER, "No slide")), "(com_error) No slide, HRESULT=0x80004003 (Invalid pointer)");
    EXPECT_EQ(Describe(ComError(static_cast<HRESULT>(0x80040205u))),
              "(com_error) HRESULT=0x80040205 (IDispatch error #5)");
    EXPECT_EQ(Describe(ComError(static_cast<HRESULT>(0x8ABC0001u))),
              "(com_error) HRESULT=0x8abc0001 (Unknown error 0x8ABC0001)");
    EXPECT_EQ(Describe(ComError(static_cast<HRESULT>(0x80040200u))),
              "(com_error) HRESULT=0x80040200 (Unknown error 0x80040200)");
}

}  // namespace
