#include "imaging/FreeImageCpp.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace freeimagecpp {

unsigned CFreeImageIOMemory::Read(void* buffer, unsigned size, unsigned count)
{
    if (m_position >= m_size || size == 0)
        return 0;
    const std::size_t items = std::min<std::size_t>(count, (m_size - m_position) / size);
    std::memcpy(buffer, m_data + m_position, items * size);
    m_position += items * size;
    return static_cast<unsigned>(items);
}

unsigned CFreeImageIOMemory::Write(const void*, unsigned, unsigned)
{
    throw std::logic_error("can't write read-only memory");
}

int CFreeImageIOMemory::Seek(long offset, int origin)
{
    long long base = 0;
    switch (origin) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = static_cast<long long>(m_position);
        break;
    case SEEK_END:
        base = static_cast<long long>(m_size);
        break;
    default:
        throw std::runtime_error("invalid seek origin");
    }
    const long long target = base + offset;
    if (target < 0 || static_cast<unsigned long long>(target) > m_size)
        return -1;
    m_position = static_cast<std::size_t>(target);
    return 0;
}

CFreeImageIOFile::CFreeImageIOFile(const std::filesystem::path& path) : m_file(std::fopen(path.c_str(), "rb"))
{
    if (m_file == nullptr) {
        const int error = errno;
        char message[1024] = {};
        const std::string text = strerror_r(error, message, sizeof message);
        throw std::runtime_error("Cannot open file '" + path.string() + "' for reading: " + text);
    }
}

CFreeImageIOFile::~CFreeImageIOFile() { std::fclose(m_file); }

unsigned CFreeImageIOFile::Read(void* buffer, unsigned size, unsigned count)
{
    const std::size_t items = std::fread(buffer, size, count, m_file);
    if (std::ferror(m_file))
        throw std::runtime_error("I/O error while reading multipage image");
    return static_cast<unsigned>(items);
}

unsigned CFreeImageIOFile::Write(const void*, unsigned, unsigned)
{
    throw std::logic_error("can't write to file opened for read");
}

int CFreeImageIOFile::Seek(long offset, int origin) { return std::fseek(m_file, offset, origin); }
long CFreeImageIOFile::Tell() { return std::ftell(m_file); }

IoBridge::IoBridge(IFreeImageIO& adapter) : m_adapter(adapter), m_io{ReadProc, WriteProc, SeekProc, TellProc} {}

void IoBridge::Rethrow()
{
    if (m_error) {
        auto error = m_error;
        m_error = nullptr;
        std::rethrow_exception(error);
    }
}

namespace {

template <class Result, class Call>
Result Guarded(fi_handle handle, std::exception_ptr& error, Result failure, Call call)
{
    try {
        return call();
    } catch (...) {
        if (!error)
            error = std::current_exception();
        return failure;
    }
    (void)handle;
}

}  // namespace

unsigned DLL_CALLCONV IoBridge::ReadProc(void* buffer, unsigned size, unsigned count, fi_handle handle)
{
    auto* self = static_cast<IoBridge*>(handle);
    return Guarded(handle, self->m_error, 0u, [&] { return self->m_adapter.Read(buffer, size, count); });
}

unsigned DLL_CALLCONV IoBridge::WriteProc(void* buffer, unsigned size, unsigned count, fi_handle handle)
{
    auto* self = static_cast<IoBridge*>(handle);
    return Guarded(handle, self->m_error, 0u, [&] { return self->m_adapter.Write(buffer, size, count); });
}

int DLL_CALLCONV IoBridge::SeekProc(fi_handle handle, long offset, int origin)
{
    auto* self = static_cast<IoBridge*>(handle);
    return Guarded(handle, self->m_error, -1, [&] { return self->m_adapter.Seek(offset, origin); });
}

long DLL_CALLCONV IoBridge::TellProc(fi_handle handle)
{
    auto* self = static_cast<IoBridge*>(handle);
    return Guarded(handle, self->m_error, -1L, [&] { return self->m_adapter.Tell(); });
}

CFreeImageBitmap& CFreeImageBitmap::operator=(CFreeImageBitmap&& other) noexcept
{
    if (this != &other)
        Reset(other.Release());
    return *this;
}

FIBITMAP* CFreeImageBitmap::Release() noexcept
{
    FIBITMAP* bitmap = m_bitmap;
    m_bitmap = nullptr;
    return bitmap;
}

void CFreeImageBitmap::Reset(FIBITMAP* bitmap) noexcept
{
    if (m_bitmap)
        FreeImage_Unload(m_bitmap);
    m_bitmap = bitmap;
}

FIBITMAP* CFreeImageBitmap::Checked() const
{
    if (!m_bitmap)
        throw std::runtime_error("not initialized");
    return m_bitmap;
}

namespace {

FIBITMAP* Require(FIBITMAP* bitmap, const char* failure)
{
    if (!bitmap)
        throw std::runtime_error(failure);
    return bitmap;
}

}  // namespace

void CFreeImageBitmap::Load(const std::filesystem::path& path, int flags)
{
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
    if (format == FIF_UNKNOWN)
        throw std::runtime_error("get file type");
    Reset(Require(FreeImage_Load(format, path.c_str(), flags), "load"));
}

void CFreeImageBitmap::Allocate(int width, int height, int bpp, unsigned red, unsigned green, unsigned blue)
{
    Reset(Require(FreeImage_Allocate(width, height, bpp, red, green, blue), "Allocation error"));
}

void CFreeImageBitmap::CloneFrom(const CFreeImageBitmap& other)
{
    Reset(Require(FreeImage_Clone(other.Checked()), "clone"));
}

void CFreeImageBitmap::CloneFromRaw(FIBITMAP* raw)
{
    Reset(Require(raw ? FreeImage_Clone(raw) : nullptr, "clone from raw"));
}

CFreeImageBitmap CFreeImageBitmap::ConvertTo32Bits() const
{
    return CFreeImageBitmap(Require(FreeImage_ConvertTo32Bits(Checked()), "convert to 32 bits"));
}

CFreeImageBitmap CFreeImageBitmap::ConvertToType(FREE_IMAGE_TYPE type, bool scale) const
{
    return CFreeImageBitmap(Require(FreeImage_ConvertToType(Checked(), type, scale), "convert to type"));
}

CFreeImageBitmap CFreeImageBitmap::ConvertToStandardType(bool scale) const
{
    return CFreeImageBitmap(Require(FreeImage_ConvertToStandardType(Checked(), scale), "convert to standard type"));
}

CFreeImageBitmap CFreeImageBitmap::ConvertTo24Bits() const
{
    return CFreeImageBitmap(Require(FreeImage_ConvertTo24Bits(Checked()), "convert to 24 bits"));
}

CFreeImageBitmap CFreeImageBitmap::ColorQuantize(FREE_IMAGE_QUANTIZE quantize) const
{
    return CFreeImageBitmap(Require(FreeImage_ColorQuantize(Checked(), quantize), "color quantize"));
}

BYTE* CFreeImageBitmap::Bits()
{
    BYTE* bits = FreeImage_GetBits(Checked());
    if (!bits)
        throw std::runtime_error("get bits");
    return bits;
}

BYTE* CFreeImageBitmap::ScanLine(int y)
{
    BYTE* line = FreeImage_GetScanLine(Checked(), y);
    if (!line)
        throw std::runtime_error("get scan line");
    return line;
}

RGBQUAD* CFreeImageBitmap::Palette()
{
    RGBQUAD* palette = FreeImage_GetPalette(Checked());
    if (!palette)
        throw std::runtime_error("get palette");
    return palette;
}

void CFreeImageBitmap::SetTransparencyTable(BYTE* table, int count)
{
    FreeImage_SetTransparencyTable(Checked(), table, count);
}

CFreeImageBitmap CFreeImageBitmap::Rescale(int width, int height, FREE_IMAGE_FILTER filter) const
{
    return CFreeImageBitmap(Require(FreeImage_Rescale(Checked(), width, height, filter), "rescale"));
}

int CFreeImageBitmap::Width() const { return static_cast<int>(FreeImage_GetWidth(Checked())); }
int CFreeImageBitmap::Height() const { return static_cast<int>(FreeImage_GetHeight(Checked())); }
int CFreeImageBitmap::Bpp() const { return static_cast<int>(FreeImage_GetBPP(Checked())); }
FREE_IMAGE_TYPE CFreeImageBitmap::ImageType() const { return FreeImage_GetImageType(Checked()); }
bool CFreeImageBitmap::HasPixels() const { return FreeImage_HasPixels(Checked()) != FALSE; }

namespace {

FIMEMORY* RequireMemory(FIMEMORY* memory)
{
    if (!memory)
        throw std::runtime_error("open memory");
    return memory;
}

}  // namespace

CFreeImageMemory::CFreeImageMemory() : m_memory(RequireMemory(FreeImage_OpenMemory())) {}

// FreeImage's memory stream takes a non-const pointer but only reads from it.
CFreeImageMemory::CFreeImageMemory(std::span<const unsigned char> bytes)
    : m_memory(RequireMemory(bytes.size() > 0xFFFFFFFFu ? nullptr : FreeImage_OpenMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()))))
{
}

CFreeImageMemory::~CFreeImageMemory() { FreeImage_CloseMemory(m_memory); }

CFreeImageBitmap CFreeImageMemory::Load(FREE_IMAGE_FORMAT format, int flags)
{
    return CFreeImageBitmap(Require(FreeImage_LoadFromMemory(format, m_memory, flags), "load from memory"));
}

void CFreeImageMemory::Save(FREE_IMAGE_FORMAT format, const CFreeImageBitmap& bitmap, int flags)
{
    if (!FreeImage_SaveToMemory(format, bitmap.Checked(), m_memory, flags))
        throw std::runtime_error("save to memory");
}

std::span<const unsigned char> CFreeImageMemory::Bytes()
{
    BYTE* data = nullptr;
    DWORD size = 0;
    if (!FreeImage_AcquireMemory(m_memory, &data, &size))
        throw std::runtime_error("acquire memory");
    return {data, size};
}

CFreeImageMultiBitmap::CFreeImageMultiBitmap(FREE_IMAGE_FORMAT format, IFreeImageIO& adapter, int flags)
    : m_bridge(std::make_unique<IoBridge>(adapter))
{
    m_bitmap = FreeImage_OpenMultiBitmapFromHandle(format, m_bridge->Io(), m_bridge->Handle(), flags);
    if (!m_bitmap) {
        m_bridge->Rethrow();
        throw std::runtime_error("I/O wrapper constructor");
    }
    try {
        m_bridge->Rethrow();
    } catch (...) {
        // The destructor does not run for a constructor that throws.
        FreeImage_CloseMultiBitmap(m_bitmap, 0);
        throw;
    }
}

CFreeImageMultiBitmap::~CFreeImageMultiBitmap() { FreeImage_CloseMultiBitmap(m_bitmap, 0); }

int CFreeImageMultiBitmap::PageCount()
{
    const int count = FreeImage_GetPageCount(m_bitmap);
    m_bridge->Rethrow();
    return count;
}

FIBITMAP* CFreeImageMultiBitmap::Lock(int page)
{
    FIBITMAP* bitmap = FreeImage_LockPage(m_bitmap, page);
    if (!bitmap) {
        m_bridge->Rethrow();
        throw std::runtime_error("LockPage");
    }
    return bitmap;
}

CFreeImageBitmap CFreeImageMultiBitmap::ClonePage(int page)
{
    FIBITMAP* locked = Lock(page);
    CFreeImageBitmap copy;
    try {
        copy.CloneFromRaw(locked);
    } catch (...) {
        FreeImage_UnlockPage(m_bitmap, locked, FALSE);
        throw;
    }
    FreeImage_UnlockPage(m_bitmap, locked, FALSE);
    m_bridge->Rethrow();
    return copy;
}

PageSize CFreeImageMultiBitmap::GetPageSize(int page)
{
    FIBITMAP* locked = Lock(page);
    const PageSize size{static_cast<int>(FreeImage_GetWidth(locked)), static_cast<int>(FreeImage_GetHeight(locked))};
    FreeImage_UnlockPage(m_bitmap, locked, FALSE);
    m_bridge->Rethrow();
    return size;
}

}  // namespace freeimagecpp
