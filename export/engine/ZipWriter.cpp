#include "export/engine/ZipWriter.h"

#include <minizip/zip.h>

#include "export/engine/PatchableFile.h"

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <system_error>

namespace engine::detail {
namespace {

// minizip writes through these, on a duplicate of the descriptor.
PatchableFile* File(voidpf s) { return static_cast<PatchableFile*>(s); }
voidpf ZOpen(voidpf opaque, const void*, int) {
    const int copy = fcntl(*static_cast<int*>(opaque), F_DUPFD_CLOEXEC, 0);
    return copy < 0 ? nullptr : new PatchableFile(copy);
}
uLong ZRead(voidpf, voidpf, void*, uLong) { return 0; }
uLong ZWrite(voidpf, voidpf s, const void* buf, uLong n) { return File(s)->Write(buf, n) ? n : 0; }
ZPOS64_T ZTell(voidpf, voidpf s) { return File(s)->Tell(); }
long ZSeek(voidpf, voidpf s, ZPOS64_T off, int origin) {
    PatchableFile* f = File(s);
    const std::uint64_t base = origin == ZLIB_FILEFUNC_SEEK_CUR ? f->Tell() : origin == ZLIB_FILEFUNC_SEEK_END ? f->Size() : 0;
    f->Seek(base + off);
    return 0;
}
int ZClose(voidpf, voidpf s) {
    std::unique_ptr<PatchableFile> f(File(s));
    return f->Sync() ? 0 : -1;
}
int ZError(voidpf, voidpf s) { return File(s)->Failed() ? 1 : 0; }

constexpr unsigned kMaxWrite = 1u << 30;

} // namespace

ZipWriter::ZipWriter(int fd) : m_fd(fd) {
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

ZipWriter::~ZipWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear(); // a writer dropped before Close is a failed package
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_worker.joinable()) m_worker.join();
    if (m_zip) zipClose(m_zip, nullptr);
}

bool ZipWriter::Open(const std::string& name, bool deflate, bool large) {
    if (!m_ok) return false;
    zip_fileinfo info{};
    info.tmz_date.tm_year = 1980; // fixed times make identical books give identical files
    info.tmz_date.tm_mday = 1;
    m_ok = zipOpenNewFileInZip64(m_zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, deflate ? Z_DEFLATED : 0,
                                 deflate ? Z_DEFAULT_COMPRESSION : 0, large ? 1 : 0) == ZIP_OK;
    return m_ok;
}

bool ZipWriter::WriteDeflated(const std::string& name, std::string_view data) {
    if (!Open(name, true, data.size() >= 0xFFFFFFFFull)) return false;
    for (std::size_t done = 0; m_ok && done < data.size();) {
        const unsigned chunk = unsigned(std::min<std::size_t>(data.size() - done, kMaxWrite));
        m_ok = zipWriteInFileInZip(m_zip, data.data() + done, chunk) == ZIP_OK;
        done += chunk;
    }
    if (zipCloseFileInZip(m_zip) != ZIP_OK) m_ok = false;
    return m_ok;
}

// Compressing is most of the cost of writing a part: the worker compresses
// and writes while the caller makes the next part. Entries keep their order;
// only the worker touches the zip while entries are queued.
bool ZipWriter::Add(std::string name, std::string data) {
    std::unique_lock lock(m_mutex);
    if (!m_worker.joinable()) {
        try {
            m_worker = std::thread([this] { CompressQueued(); });
        } catch (const std::system_error&) {
            return m_ok && WriteDeflated(name, data); // no thread to spare: write it now
        }
    }
    m_changed.wait(lock, [this] { return m_queue.size() < kMostQueued || !m_ok; });
    if (!m_ok) return false;
    m_queue.emplace_back(std::move(name), std::move(data));
    lock.unlock();
    m_changed.notify_all();
    return true;
}

void ZipWriter::CompressQueued() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_queue.empty() || m_stopping; });
        if (m_queue.empty()) return;
        auto [name, data] = std::move(m_queue.front());
        m_queue.pop_front();
        m_writing = true;
        lock.unlock();
        const bool written = m_ok && WriteDeflated(name, data);
        lock.lock();
        m_writing = false;
        if (!written) m_queue.clear();
        m_changed.notify_all();
    }
}

bool ZipWriter::WaitForQueued() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.empty() && !m_writing; });
    return m_ok;
}

bool ZipWriter::AddStored(const std::string& name, std::uint64_t size, const std::function<bool(const ChunkSink&)>& produce) {
    if (!WaitForQueued() || !Open(name, false, size >= 0xFFFFFFFFull)) return false;
    const ChunkSink sink = [this](const char* data, std::size_t n) {
        for (std::size_t done = 0; m_ok && done < n;) {
            const unsigned chunk = unsigned(std::min<std::size_t>(n - done, kMaxWrite));
            m_ok = zipWriteInFileInZip(m_zip, data + done, chunk) == ZIP_OK;
            done += chunk;
        }
        return m_ok.load();
    };
    if (!produce(sink)) m_ok = false;
    if (zipCloseFileInZip(m_zip) != ZIP_OK) m_ok = false;
    return m_ok;
}

bool ZipWriter::Close() {
    WaitForQueued();
    if (!m_zip) return false;
    if (zipClose(m_zip, nullptr) != ZIP_OK) m_ok = false;
    m_zip = nullptr;
    return m_ok;
}

} // namespace engine::detail
