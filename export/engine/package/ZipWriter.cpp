#include "export/engine/package/ZipWriter.h"

#include <minizip/zip.h>

#include "export/engine/package/PatchableFile.h"

#include <algorithm>
#include <fcntl.h>
#include <chrono>
#include <memory>
#include <system_error>
#include <zlib.h>

namespace engine::detail {
namespace {

// minizip writes through these, on a duplicate of the descriptor.
PatchableFile* File(voidpf s) { return static_cast<PatchableFile*>(s); }
voidpf ZOpen(voidpf opaque, const void*, int)
{
    const int copy = fcntl(*static_cast<int*>(opaque), F_DUPFD_CLOEXEC, 0);
    return copy < 0 ? nullptr : new PatchableFile(copy);
}
uLong ZRead(voidpf, voidpf, void*, uLong) { return 0; }
uLong ZWrite(voidpf, voidpf s, const void* buf, uLong n) { return File(s)->Write(buf, n) ? n : 0; }
ZPOS64_T ZTell(voidpf, voidpf s) { return File(s)->Tell(); }
long ZSeek(voidpf, voidpf s, ZPOS64_T off, int origin)
{
    PatchableFile* f = File(s);
    const std::uint64_t base = origin == ZLIB_FILEFUNC_SEEK_CUR ? f->Tell() : origin == ZLIB_FILEFUNC_SEEK_END ? f->Size()
                                                                                                               : 0;
    f->Seek(base + off);
    return 0;
}
int ZClose(voidpf, voidpf s)
{
    std::unique_ptr<PatchableFile> f(File(s));
    return f->Sync() ? 0 : -1;
}
int ZError(voidpf, voidpf s) { return File(s)->Failed() ? 1 : 0; }

constexpr unsigned kMaxWrite = 1u << 30;

}  // namespace

ZipWriter::ZipWriter(int fd) : m_fd(fd)
{
    zlib_filefunc64_def ff{};
    ff.zopen64_file = ZOpen;
    ff.zread_file = ZRead;
    ff.zwrite_file = ZWrite;
    ff.ztell64_file = ZTell;
    ff.zseek64_file = ZSeek;
    ff.zclose_file = ZClose;
    ff.zerror_file = ZError;
    ff.opaque = &m_fd;
    m_zip = zipOpen2_64("package", APPEND_STATUS_CREATE, nullptr, &ff);
    m_ok = m_zip != nullptr;
}

ZipWriter::~ZipWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.clear();  // a writer dropped before Close is a failed package
        m_stopping = true;
    }
    m_work.notify_all();
    for (std::thread& t : m_compressors)
        t.join();
    if (m_zip)
        zipClose(m_zip, nullptr);
}

DeflatedEntry Deflate(std::string_view data)
{
    DeflatedEntry out;
    out.size = data.size();
    out.crc = std::uint32_t(crc32_z(crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef*>(data.data()), data.size()));
    // The settings minizip uses for its own deflated entries.
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return out;
    out.bytes.resize(deflateBound(&z, uLong(data.size())));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.next_out = reinterpret_cast<Bytef*>(out.bytes.data());
    int rc = Z_OK;
    std::size_t inLeft = data.size();
    while (rc == Z_OK) {
        // zlib counts in 32 bits.
        const uInt chunk = uInt(std::min<std::size_t>(inLeft, kMaxWrite));
        z.avail_in = chunk;
        z.avail_out = uInt(std::min<std::size_t>(out.bytes.size() - z.total_out, kMaxWrite));
        inLeft -= chunk;
        rc = deflate(&z, inLeft == 0 ? Z_FINISH : Z_NO_FLUSH);
        inLeft += z.avail_in;
    }
    out.ok = rc == Z_STREAM_END;
    out.text = z.data_type == Z_TEXT;
    out.bytes.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

bool ZipWriter::Open(const std::string& name, bool deflate, bool large, bool text)
{
    if (!m_ok)
        return false;
    zip_fileinfo info{};
    info.internal_fa = text ? 1 : 0;  // what minizip records when it deflates itself
    info.tmz_date.tm_year = 1980;  // fixed times make identical books give identical files
    info.tmz_date.tm_mday = 1;
    // A deflated entry arrives compressed: minizip writes it as it is.
    m_ok = zipOpenNewFileInZip2_64(m_zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, deflate ? Z_DEFLATED : 0,
                                   deflate ? Z_DEFAULT_COMPRESSION : 0, deflate ? 1 : 0, large ? 1 : 0)
           == ZIP_OK;
    return m_ok;
}

bool ZipWriter::WriteChunks(const char* data, std::size_t size)
{
    for (std::size_t done = 0; m_ok && done < size;) {
        const unsigned chunk = unsigned(std::min<std::size_t>(size - done, kMaxWrite));
        m_ok = zipWriteInFileInZip(m_zip, data + done, chunk) == ZIP_OK;
        done += chunk;
    }
    return m_ok;
}

bool ZipWriter::WriteDeflated(const std::string& name, const DeflatedEntry& entry)
{
    if (!entry.ok)
        m_ok = false;
    if (!Open(name, true, entry.size >= 0xFFFFFFFFull || entry.bytes.size() >= 0xFFFFFFFFull, entry.text))
        return false;
    WriteChunks(entry.bytes.data(), entry.bytes.size());
    if (zipCloseFileInZipRaw64(m_zip, entry.size, entry.crc) != ZIP_OK)
        m_ok = false;
    return m_ok;
}

void ZipWriter::Compress()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_work.wait(lock, [this] { return !m_tasks.empty() || m_stopping; });
        if (m_stopping)
            return;
        std::packaged_task<DeflatedEntry()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}

bool ZipWriter::Add(std::string name, std::string data)
{
    if (!m_ok)
        return false;
    std::packaged_task<DeflatedEntry()> task([data = std::move(data)] { return Deflate(data); });
    m_pending.push_back({std::move(name), task.get_future()});
    if (m_compressors.empty()) {
        const unsigned count = std::clamp(std::thread::hardware_concurrency(), 1u, kMostCompressors);
        try {
            for (unsigned i = 0; i < count; ++i)
                m_compressors.emplace_back([this] { Compress(); });
        } catch (const std::system_error&) {
            // Fewer threads, or none: then each entry is compressed here.
        }
    }
    if (m_compressors.empty()) {
        task();
    } else {
        {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_work.notify_one();
    }
    WriteFinished(kMostPending);
    return m_ok;
}

void ZipWriter::WriteFinished(std::size_t keep)
{
    while (!m_pending.empty()) {
        std::future<DeflatedEntry>& entry = m_pending.front().entry;
        if (m_pending.size() <= keep && entry.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            return;
        const DeflatedEntry deflated = entry.get();
        if (m_ok)
            WriteDeflated(m_pending.front().name, deflated);
        m_pending.pop_front();
    }
}

bool ZipWriter::AddStored(const std::string& name, std::uint64_t size, const std::function<bool(const ChunkSink&)>& produce)
{
    WriteFinished(0);
    if (!Open(name, false, size >= 0xFFFFFFFFull, false))
        return false;
    const ChunkSink sink = [this](const char* data, std::size_t n) { return WriteChunks(data, n); };
    if (!produce(sink))
        m_ok = false;
    if (zipCloseFileInZip(m_zip) != ZIP_OK)
        m_ok = false;
    return m_ok;
}

bool ZipWriter::Close()
{
    WriteFinished(0);
    if (!m_zip)
        return false;
    if (zipClose(m_zip, nullptr) != ZIP_OK)
        m_ok = false;
    m_zip = nullptr;
    return m_ok;
}

}  // namespace engine::detail
