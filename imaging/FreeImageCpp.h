#pragma once
// A thin owner layer over FreeImage: every failure becomes an exception, and
// images are read from memory or from a file through I/O adapters.

#include <FreeImage.h>

#include <cstddef>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <span>

namespace freeimagecpp {

// Where FreeImage reads from. Seek origins: 0 start, 1 current, 2 end.
class IFreeImageIO {
public:
    virtual ~IFreeImageIO() = default;
    virtual unsigned Read(void* buffer, unsigned size, unsigned count) = 0;
    virtual unsigned Write(const void* buffer, unsigned size, unsigned count) = 0;
    virtual int Seek(long offset, int origin) = 0;
    virtual long Tell() = 0;
};

// A read-only view of bytes it does not own.
class CFreeImageIOMemory : public IFreeImageIO {
public:
    CFreeImageIOMemory(const void* data, std::size_t size) : m_data(static_cast<const unsigned char*>(data)), m_size(size) {}
    unsigned Read(void* buffer, unsigned size, unsigned count) override;
    unsigned Write(const void*, unsigned, unsigned) override;  // throws std::logic_error
    int Seek(long offset, int origin) override;
    long Tell() override { return static_cast<long>(m_position); }

private:
    const unsigned char* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

// A file opened for binary reading.
class CFreeImageIOFile : public IFreeImageIO {
public:
    explicit CFreeImageIOFile(const std::filesystem::path& path);
    ~CFreeImageIOFile() override;
    CFreeImageIOFile(const CFreeImageIOFile&) = delete;
    CFreeImageIOFile& operator=(const CFreeImageIOFile&) = delete;
    unsigned Read(void* buffer, unsigned size, unsigned count) override;
    unsigned Write(const void*, unsigned, unsigned) override;  // throws std::logic_error
    int Seek(long offset, int origin) override;
    long Tell() override;

private:
    std::FILE* m_file;
};

// FreeImage's callbacks over one adapter. An exception of the adapter is
// kept (the first one) and rethrown by Rethrow() after the FreeImage call,
// so that it never crosses FreeImage itself.
class IoBridge {
public:
    explicit IoBridge(IFreeImageIO& adapter);
    FreeImageIO* Io() { return &m_io; }
    fi_handle Handle() { return this; }
    void Rethrow();

private:
    static unsigned DLL_CALLCONV ReadProc(void* buffer, unsigned size, unsigned count, fi_handle handle);
    static unsigned DLL_CALLCONV WriteProc(void* buffer, unsigned size, unsigned count, fi_handle handle);
    static int DLL_CALLCONV SeekProc(fi_handle handle, long offset, int origin);
    static long DLL_CALLCONV TellProc(fi_handle handle);

    IFreeImageIO& m_adapter;
    FreeImageIO m_io;
    std::exception_ptr m_error;
};

// Owner of one FreeImage bitmap, possibly empty. Operations on an empty one
// throw std::runtime_error "not initialized".
class CFreeImageBitmap {
public:
    CFreeImageBitmap() = default;
    explicit CFreeImageBitmap(FIBITMAP* bitmap) : m_bitmap(bitmap) {}
    CFreeImageBitmap(CFreeImageBitmap&& other) noexcept : m_bitmap(other.Release()) {}
    CFreeImageBitmap& operator=(CFreeImageBitmap&& other) noexcept;
    CFreeImageBitmap(const CFreeImageBitmap&) = delete;
    CFreeImageBitmap& operator=(const CFreeImageBitmap&) = delete;
    ~CFreeImageBitmap() { Reset(); }

    void Load(const std::filesystem::path& path, int flags);  // "get file type", "load"
    void Allocate(int width, int height, int bpp, unsigned red = 0, unsigned green = 0, unsigned blue = 0);
    void CloneFrom(const CFreeImageBitmap& other);  // "clone"
    void CloneFromRaw(FIBITMAP* raw);  // "clone from raw"
    CFreeImageBitmap ConvertTo32Bits() const;  // "convert to 32 bits"
    CFreeImageBitmap ConvertToType(FREE_IMAGE_TYPE type, bool scale) const;  // "convert to type"
    CFreeImageBitmap ConvertToStandardType(bool scale) const;  // "convert to standard type"
    CFreeImageBitmap ConvertTo24Bits() const;  // "convert to 24 bits"
    CFreeImageBitmap ColorQuantize(FREE_IMAGE_QUANTIZE quantize) const;  // "color quantize"
    BYTE* Bits();  // "get bits"
    BYTE* ScanLine(int y);  // "get scan line"
    RGBQUAD* Palette();  // "get palette"
    void SetTransparencyTable(BYTE* table, int count);
    CFreeImageBitmap Rescale(int width, int height, FREE_IMAGE_FILTER filter) const;  // "rescale"
    int Width() const;
    int Height() const;
    int Bpp() const;
    FREE_IMAGE_TYPE ImageType() const;
    bool HasPixels() const;

    bool IsEmpty() const { return m_bitmap == nullptr; }
    FIBITMAP* Get() const { return m_bitmap; }
    FIBITMAP* Release() noexcept;
    void Reset(FIBITMAP* bitmap = nullptr) noexcept;

private:
    friend class CFreeImageMemory;
    FIBITMAP* Checked() const;
    FIBITMAP* m_bitmap = nullptr;
};

// Owner of one FreeImage memory stream: an empty one to encode into, or one
// over bytes it does not own (they must outlive it) to decode from.
class CFreeImageMemory {
public:
    CFreeImageMemory();  // "open memory"
    explicit CFreeImageMemory(std::span<const unsigned char> bytes);  // "open memory"
    ~CFreeImageMemory();
    CFreeImageMemory(const CFreeImageMemory&) = delete;
    CFreeImageMemory& operator=(const CFreeImageMemory&) = delete;

    CFreeImageBitmap Load(FREE_IMAGE_FORMAT format, int flags);  // "load from memory"
    void Save(FREE_IMAGE_FORMAT format, const CFreeImageBitmap& bitmap, int flags);  // "save to memory"
    // The stream's bytes, valid until it changes or ends.
    std::span<const unsigned char> Bytes();  // "acquire memory"

private:
    FIMEMORY* m_memory;
};

struct PageSize {
    int width = 0;
    int height = 0;
};

// A multi-page bitmap read through an adapter that outlives it; closed
// without saving.
class CFreeImageMultiBitmap {
public:
    CFreeImageMultiBitmap(FREE_IMAGE_FORMAT format, IFreeImageIO& adapter, int flags);  // "I/O wrapper constructor"
    ~CFreeImageMultiBitmap();
    CFreeImageMultiBitmap(const CFreeImageMultiBitmap&) = delete;
    CFreeImageMultiBitmap& operator=(const CFreeImageMultiBitmap&) = delete;

    int PageCount();
    CFreeImageBitmap ClonePage(int page);  // "LockPage"
    PageSize GetPageSize(int page);

private:
    FIBITMAP* Lock(int page);
    std::unique_ptr<IoBridge> m_bridge;
    FIMULTIBITMAP* m_bitmap = nullptr;
};

}  // namespace freeimagecpp
