// The connection table of numbered units and the record transfer on them.
//
// Each unit owns a file descriptor and its own buffers: reads fill a large
// buffer with pread and split it at LF with memchr; writes collect records in
// a large buffer written with pwrite.  No system call is made per record.
// All positions are file offsets held here, so the descriptor's own offset is
// never used.
//
// Sequential positioning follows ISO/IEC 1539 9.3.4: writing a record makes
// it the last record of the file, so the first write after an open, a read,
// a REWIND or a BACKSPACE cuts the file at the current position.  An open
// that only reads leaves the file as it was.
//
// One lock guards the table and every unit: the run computes in one thread,
// but a stop from outside (program.h) writes every unit's pending
// output from another thread, and must find no transfer half done.  A read
// that may wait for its data (a pipe, a terminal) lets the lock go while it
// waits.
#include "runtime/units.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "process/recursive_lock.h"
#include "runtime/host.h"
#include "runtime/io_error.h"
#include "runtime/text.h"

namespace orv::rt {

namespace {

// The read buffer starts small and doubles at each refill up to its full
// size, so that a short file does not bring in a megabyte of fresh pages.
constexpr std::size_t kFirstRead = 1 << 16;
constexpr std::size_t kReadChunk = 1 << 18;   // bytes read per system call at most
constexpr std::size_t kWriteChunk = 1 << 18;  // pending output written at this size
constexpr std::size_t kBackChunk = 1 << 16;   // bytes scanned per step of BACKSPACE
// Longest record read: a file without line ends must not take all memory.
constexpr std::size_t kMaxRecord = std::size_t{1} << 30;

std::string os_reason(int err) { return std::strerror(err); }

// The lock of the table and of every transfer.  Recursive, for operations
// that call others (an open closes the unit first); a stop from outside
// waits for it with a limit (flush_all_units_and_hold).  Never destroyed: a
// stop from outside may hold it while the process ends.
proc::RecursiveLock& transfer_lock() {
    static auto* lock = new proc::RecursiveLock;
    return *lock;
}
using Guard = std::lock_guard<proc::RecursiveLock>;

// The file name as OPEN sees it: trailing blanks are not part of it.
std::string_view trim_trailing(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}


class Unit {
public:
    // `regular`: a regular file, which can be positioned and cut; anything
    // else (a device, a pipe) is read and written as a stream.
    Unit(int number, int fd, std::string path, bool writable, bool regular)
        : number_(number), fd_(fd), path_(std::move(path)), writable_(writable), regular_(regular) {}
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;
    // A unit dropped without CLOSE (the table is torn down at process exit)
    // still writes what it holds; there is nobody left to tell of a failure.
    ~Unit() {
        if (fd_ < 0) return;
        try {
            if (writing_) write_pending();
        } catch (...) {
        }
        ::close(fd_);
    }

    const std::string& path() const { return path_; }
    dev_t device() const { return device_; }
    ino_t inode() const { return inode_; }
    void set_identity(dev_t device, ino_t inode) {
        device_ = device;
        inode_ = inode;
    }

    bool read_record(std::string& record) {
        to_reading();
        after_end_ = false;
        if (buffer_pos_ >= buffer_len_ && !fill()) {
            after_end_ = true;  // nothing is stored at the end
            return false;
        }
        // A UTF-8 byte-order mark, which some editors put at the start of a
        // text file, is not part of the first record.
        if (pos_ == 0) skip_byte_order_mark();
        record.clear();
        do {
            const char* start = buffer_.data() + buffer_pos_;
            const std::size_t left = buffer_len_ - buffer_pos_;
            const void* lf = std::memchr(start, '\n', left);
            if (lf != nullptr) {
                const std::size_t n = static_cast<const char*>(lf) - start;
                record.append(start, n);
                buffer_pos_ += n + 1;
                pos_ += n + 1;
                if (!record.empty() && record.back() == '\r') record.pop_back();
                return true;
            }
            if (record.size() + left > kMaxRecord)
                throw fail(IoErrorKind::System, "a record longer than " + std::to_string(kMaxRecord) + " bytes");
            record.append(start, left);
            buffer_pos_ += left;
            pos_ += left;
        } while (fill());
        // A last line without its line end is a record; a CR that ends it is
        // the remains of a CR LF and is dropped as well.
        if (!record.empty() && record.back() == '\r') record.pop_back();
        return true;
    }

    void write_record(std::string_view record) {
        start_writing();
        make_room(record.size() + 1);
        pending_.append(record);
        pending_.push_back('\n');
        pos_ += record.size() + 1;
    }

    // Whole records, each with its line end.  A block larger than the
    // pending buffer goes to the file as it stands.
    void write_records(std::string_view records) {
        start_writing();
        make_room(records.size());
        if (records.size() >= kWriteChunk) {
            write_bytes(records.data(), records.size());
            pending_off_ += records.size();
        } else {
            pending_.append(records);
        }
        pos_ += records.size();
    }

    // Writes what is pending when BYTES more would take it past its size.
    void make_room(std::size_t bytes) {
        if (pending_.size() + bytes > kWriteChunk && !pending_.empty()) write_pending();
        if (pending_.capacity() < kWriteChunk) pending_.reserve(kWriteChunk);
    }

    void start_writing() {
        if (!writable_) throw fail(IoErrorKind::System, "the file is connected for reading only");
        if (!writing_) {
            // The record written becomes the last of the file.
            if (regular_ && ::ftruncate(fd_, static_cast<off_t>(pos_)) != 0) throw system_error(errno);
            drop_buffer();
            writing_ = true;
            pending_off_ = pos_;
            pending_.clear();
        }
        after_end_ = false;
    }

    void flush() {
        if (writing_) write_pending();
    }

    void rewind() {
        to_reading();
        require_positioning();
        after_end_ = false;
        pos_ = 0;
        drop_buffer();
    }

    void backspace() {
        to_reading();
        require_positioning();
        if (after_end_) {
            // A read that met the end left the position where it was; the
            // backspace steps back over that end only (as an endfile record).
            after_end_ = false;
            return;
        }
        if (pos_ == 0) return;
        // The record before the position ends at pos_-1 (its LF) or at the
        // end of a last line without LF; its start follows the LF before it.
        std::uint64_t end = pos_;
        if (read_byte(end - 1) == '\n') --end;
        std::uint64_t start = find_lf_before(end);
        pos_ = start;
        drop_buffer();
    }

    // Flushes and releases the descriptor; the first failure is thrown after
    // the descriptor is closed.
    void close() {
        int err = 0;
        if (writing_) {
            try {
                write_pending();
            } catch (...) {
                ::close(fd_);
                fd_ = -1;
                throw;
            }
        }
        if (::close(fd_) != 0) err = errno;
        fd_ = -1;
        if (err != 0 && err != EINTR) throw system_error(err);
    }

private:
    IoError fail(IoErrorKind kind, std::string detail) const {
        return IoError(kind, std::move(detail), number_, path_);
    }

    void skip_byte_order_mark() {
        static constexpr std::string_view mark = "\xEF\xBB\xBF";
        if (buffer_len_ - buffer_pos_ < mark.size()) return;
        if (std::string_view(buffer_.data() + buffer_pos_, mark.size()) != mark) return;
        buffer_pos_ += mark.size();
        pos_ += mark.size();
    }
    IoError system_error(int err) const { return fail(IoErrorKind::System, os_reason(err)); }

    void require_positioning() const {
        if (!regular_) throw fail(IoErrorKind::System, "the file cannot be positioned: it is not a regular file");
    }

    void drop_buffer() {
        buffer_pos_ = 0;
        buffer_len_ = 0;
    }

    void to_reading() {
        if (writing_) {
            write_pending();
            writing_ = false;
        }
    }

    // Refills the read buffer from the current position; false at the end.
    bool fill() {
        // Doubled after a read that filled it.
        if (buffer_.empty() || (buffer_len_ == buffer_.size() && buffer_.size() < kReadChunk)) {
            const std::size_t size = buffer_.empty() ? kFirstRead : 2 * buffer_.size();
            buffer_.clear();
            buffer_.resize(size);
        }
        for (;;) {
            ssize_t n;
            if (regular_) {
                n = ::pread(fd_, buffer_.data(), buffer_.size(), static_cast<off_t>(pos_));
            } else {
                // A stream may keep the read waiting for ever: a stop from
                // outside must be able to write the other units meanwhile.
                // It touches no unit that is reading.
                transfer_lock().unlock();
                n = ::read(fd_, buffer_.data(), buffer_.size());
                const int err = errno;
                transfer_lock().lock();
                errno = err;
            }
            if (n < 0) {
                if (errno == EINTR) continue;
                throw system_error(errno);
            }
            buffer_pos_ = 0;
            buffer_len_ = static_cast<std::size_t>(n);
            return n > 0;
        }
    }

    void write_pending() {
        write_bytes(pending_.data(), pending_.size());
        pending_off_ += pending_.size();
        pending_.clear();
    }

    // Writes SIZE bytes at pending_off_.  On failure what is pending is
    // dropped and the error thrown.
    void write_bytes(const char* data, std::size_t size) {
        std::size_t done = 0;
        while (done < size) {
            ssize_t n = regular_ ? ::pwrite(fd_, data + done, size - done, static_cast<off_t>(pending_off_ + done))
                                 : ::write(fd_, data + done, size - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                const int err = errno;
                pending_.clear();
                pending_off_ = pos_;
                throw system_error(err);
            }
            done += static_cast<std::size_t>(n);
        }
    }

    char read_byte(std::uint64_t at) {
        char c = 0;
        for (;;) {
            ssize_t n = ::pread(fd_, &c, 1, static_cast<off_t>(at));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) throw system_error(errno);
            return n == 1 ? c : '\0';
        }
    }

    // The offset just after the last LF before `end`, or 0.
    std::uint64_t find_lf_before(std::uint64_t end) {
        std::vector<char> chunk(kBackChunk);
        while (end > 0) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(end, kBackChunk));
            const std::uint64_t from = end - want;
            std::size_t got = 0;
            while (got < want) {
                ssize_t n = ::pread(fd_, chunk.data() + got, want - got, static_cast<off_t>(from + got));
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) throw system_error(errno);
                if (n == 0) break;
                got += static_cast<std::size_t>(n);
            }
            for (std::size_t i = got; i > 0; --i)
                if (chunk[i - 1] == '\n') return from + i;
            end = from;
        }
        return 0;
    }

    int number_;
    int fd_;
    std::string path_;
    bool writable_;
    bool regular_;
    dev_t device_ = 0;
    ino_t inode_ = 0;

    std::uint64_t pos_ = 0;  // file offset of the next record
    bool after_end_ = false; // the last read met the end of the file

    std::vector<char> buffer_;  // read buffer holding the bytes at pos_ - buffer_pos_
    std::size_t buffer_pos_ = 0;
    std::size_t buffer_len_ = 0;

    bool writing_ = false;
    std::string pending_;            // records written but not yet in the file
    std::uint64_t pending_off_ = 0;  // file offset of pending_[0]
};

// Why an open failed, kept so that a later transfer on the unit can name the
// file it was meant to be connected to.
struct FailedOpen {
    std::string file;
    std::string reason;
};

// A file the run reads, by the name it was given.
struct MarkedInput {
    std::string file;
    std::string use;
};

struct Table {
    std::map<int, std::unique_ptr<Unit>> units;
    std::map<int, FailedOpen> failed;
    std::vector<MarkedInput> inputs;
    std::string last_open_error;
};

// The run-time's connection table: process state, like a compiler's.
Table& table() {
    static Table t;
    return t;
}

Unit* find(int unit) {
    auto& units = table().units;
    auto it = units.find(unit);
    return it == units.end() ? nullptr : it->second.get();
}

IoError not_connected(int unit) {
    auto& failed = table().failed;
    auto it = failed.find(unit);
    if (it != failed.end())
        return IoError(IoErrorKind::NotConnected, "the open of the file failed: " + it->second.reason, unit,
                       it->second.file);
    return IoError(IoErrorKind::NotConnected, {}, unit);
}

Unit& connected(int unit) {
    Unit* u = find(unit);
    if (u == nullptr) throw not_connected(unit);
    return *u;
}

std::string absolute_path(const std::string& name) {
    if (char* real = ::realpath(name.c_str(), nullptr)) {
        std::string path(real);
        std::free(real);
        return path;
    }
    if (!name.empty() && name.front() == '/') return name;
    std::vector<char> cwd(PATH_MAX);
    if (::getcwd(cwd.data(), cwd.size()) == nullptr) return name;
    return std::string(cwd.data()) + "/" + name;
}

// Asks the host for the name of a file opened with a blank name: the first
// command-line argument, else the file dialog until a file is chosen or the
// user gives up.
std::string name_from_host(int unit) {
    Host& h = host();
    if (!h.arguments().empty()) {
        std::string_view arg = trim_blanks(h.arguments().front());
        if (!arg.empty()) return std::string(arg);
    }
    const std::string title = "Open: Select File for Unit " + std::to_string(unit);
    for (;;) {
        if (auto chosen = h.choose_file(title)) {
            std::string_view name = trim_blanks(*chosen);
            if (!name.empty()) return std::string(name);
        }
        if (h.ask_yes_no("File Open Error", "A File Must be Selected\r\rTerminate Program?", false)) {
            // The user gave up: the run ends without a stop line, and the
            // window closes without asking again.
            h.set_end_mode(static_cast<int>(EndMode::Close));
            throw Stop{"", 1, true};
        }
    }
}

// The use of the marked input that is the regular file ST describes.  Each
// input is looked up by its name now, so a file created or replaced since it
// was marked is judged as it stands.
std::string use_of(const struct stat& st) {
    if (!S_ISREG(st.st_mode)) return {};
    for (const MarkedInput& input : table().inputs) {
        struct stat other{};
        if (::stat(input.file.c_str(), &other) == 0 && S_ISREG(other.st_mode) && other.st_dev == st.st_dev &&
            other.st_ino == st.st_ino)
            return input.use;
    }
    return {};
}

struct OpenResult {
    int status = 0;  // 0, or the errno of the failure
    std::string reason;
    std::string file;
};

OpenResult open_file(int unit, std::string name, OpenOptions options) {
    OpenResult r;
    r.file = name;
    int fd = -1;
    bool write_only = false;

    if (options.status == OpenStatus::Scratch) {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/orv_scratch_XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        fd = ::mkostemp(buf.data(), O_CLOEXEC);
        if (fd < 0) {
            r.status = errno;
            r.reason = os_reason(errno);
            r.file = pattern;
            return r;
        }
        // Unlinked at once: the file goes away on close and on any other end
        // of the process.
        r.file = buf.data();
        ::unlink(buf.data());
        auto u = std::make_unique<Unit>(unit, fd, r.file, true, true);
        table().units[unit] = std::move(u);
        return r;
    }

    // A file already connected to another unit is refused before it is
    // touched, so that REPLACE cannot empty a file that is being read.
    struct stat st{};
    bool read_only = options.read_only;
    if (::stat(name.c_str(), &st) == 0) {
        // A pipe opened for reading and writing never reaches its end, for
        // the unit itself is a writer: an existing pipe is read (a job piped
        // in by the shell), any other pipe written.
        if (S_ISFIFO(st.st_mode)) {
            read_only = options.status == OpenStatus::Old;
            write_only = !read_only;
        }
        if (S_ISDIR(st.st_mode)) {
            r.status = EISDIR;
            r.reason = os_reason(EISDIR);
            return r;
        }
        for (const auto& [number, other] : table().units) {
            if (number != unit && other->device() == st.st_dev && other->inode() == st.st_ino) {
                r.status = EBUSY;
                r.reason = "the file is already connected to unit " + std::to_string(number);
                return r;
            }
        }
        // An input of the run is never written, so never opened to be.
        if (!read_only) {
            if (std::string use = use_of(st); !use.empty()) {
                r.status = EPERM;
                r.reason = "the file is " + use + " and is not to be written";
                return r;
            }
        }
    }

    int flags = O_CLOEXEC;
    switch (options.status) {
    case OpenStatus::Old: break;
    case OpenStatus::New: flags |= O_CREAT | O_EXCL; break;
    case OpenStatus::Default:
    case OpenStatus::Unknown: flags |= O_CREAT; break;
    case OpenStatus::Replace: flags |= O_CREAT | O_TRUNC; break;
    case OpenStatus::Scratch: break;
    }
    bool writable = !read_only;
    fd = ::open(name.c_str(), flags | (read_only ? O_RDONLY : write_only ? O_WRONLY : O_RDWR), 0666);
    if (fd < 0 && !read_only && !write_only && (errno == EACCES || errno == EROFS) && !(flags & O_TRUNC)) {
        // No ACTION was given: a file that may only be read is connected for
        // reading, as a write-protected command file must be.
        fd = ::open(name.c_str(), flags | O_RDONLY, 0666);
        writable = false;
    }
    if (fd < 0) {
        r.status = errno;
        r.reason = os_reason(errno);
        return r;
    }
    int bad = 0;
    if (::fstat(fd, &st) != 0)
        bad = errno;
    else if (S_ISDIR(st.st_mode))
        bad = EISDIR;
    if (bad != 0) {
        r.status = bad;
        r.reason = os_reason(bad);
        ::close(fd);
        return r;
    }
    r.file = absolute_path(name);
    auto u = std::make_unique<Unit>(unit, fd, r.file, writable, S_ISREG(st.st_mode));
    u->set_identity(st.st_dev, st.st_ino);
    table().units[unit] = std::move(u);
    return r;
}

}  // namespace

int open_unit(int unit, std::string_view file, OpenOptions options) {
    std::string name(trim_trailing(file));
    if (name.empty() && options.status != OpenStatus::Scratch && unit >= 0) {
        // The host may wait for the user: not under the lock.
        name = name_from_host(unit);
        // A file chosen by the user must exist.
        options.status = OpenStatus::Old;
    }
    Guard guard(transfer_lock());
    Table& t = table();
    t.last_open_error.clear();
    if (unit < 0) {
        t.last_open_error = IoError(IoErrorKind::Open, "invalid unit number", unit).what();
        return EINVAL;
    }
    if (find(unit) != nullptr) close_unit(unit);
    t.failed.erase(unit);

    OpenResult r = open_file(unit, std::move(name), options);
    if (r.status != 0) {
        t.failed[unit] = FailedOpen{r.file, r.reason};
        t.last_open_error = IoError(IoErrorKind::Open, r.reason, unit, r.file).what();
    }
    return r.status;
}

void open_unit_or_fail(int unit, std::string_view file, OpenOptions options) {
    if (open_unit(unit, file, options) == 0) return;
    Guard guard(transfer_lock());
    const FailedOpen* f = nullptr;
    auto it = table().failed.find(unit);
    if (it != table().failed.end()) f = &it->second;
    throw IoError(IoErrorKind::Open, f != nullptr ? f->reason : std::string("invalid unit number"), unit,
                  f != nullptr ? f->file : std::string(file));
}

const std::string& last_open_error() {
    Guard guard(transfer_lock());
    return table().last_open_error;
}

void mark_input(std::string_view file, std::string use) {
    std::string name(trim_trailing(file));
    Guard guard(transfer_lock());
    if (!name.empty()) table().inputs.push_back(MarkedInput{std::move(name), std::move(use)});
}

std::string input_use(std::string_view file) {
    struct stat st{};
    const std::string name(trim_trailing(file));
    if (name.empty() || ::stat(name.c_str(), &st) != 0) return {};
    Guard guard(transfer_lock());
    return use_of(st);
}

void close_unit(int unit) {
    Guard guard(transfer_lock());
    Table& t = table();
    t.failed.erase(unit);
    auto it = t.units.find(unit);
    if (it == t.units.end()) return;
    std::unique_ptr<Unit> u = std::move(it->second);
    t.units.erase(it);
    u->close();
}

void close_all_units() {
    Guard guard(transfer_lock());
    Table& t = table();
    std::map<int, std::unique_ptr<Unit>> units = std::move(t.units);
    t.units.clear();
    t.failed.clear();
    t.inputs.clear();
    // Every unit is closed even when one fails; the first failure is thrown.
    std::optional<IoError> first;
    for (auto& [number, u] : units) {
        try {
            u->close();
        } catch (const IoError& e) {
            if (!first) first = e;
        }
    }
    if (first) throw *first;
}

void flush_all_units() {
    Guard guard(transfer_lock());
    std::optional<IoError> first;
    for (auto& [number, u] : table().units) {
        try {
            u->flush();
        } catch (const IoError& e) {
            if (!first) first = e;
        }
    }
    if (first) throw *first;
}

bool flush_all_units_and_hold(std::chrono::milliseconds wait) {
    // Taken and never given back: no thread transfers anything after this.
    if (!transfer_lock().try_lock_until(std::chrono::steady_clock::now() + wait)) return false;
    for (auto& [number, u] : table().units) {
        try {
            u->flush();
        } catch (...) {
            // The other units are still written.
        }
    }
    return true;
}

void rewind_unit(int unit) {
    Guard guard(transfer_lock());
    connected(unit).rewind();
}

void backspace_unit(int unit) {
    Guard guard(transfer_lock());
    connected(unit).backspace();
}

bool unit_connected(int unit) {
    Guard guard(transfer_lock());
    return find(unit) != nullptr;
}

std::string unit_file_name(int unit) {
    Guard guard(transfer_lock());
    Unit* u = find(unit);
    return u == nullptr ? std::string() : u->path();
}

bool read_record(int unit, std::string& record) {
    Guard guard(transfer_lock());
    if (Unit* u = find(unit)) return u->read_record(record);
    if (unit == kConsoleUnit)
        throw IoError(IoErrorKind::NotConnected, "the window unit takes no input", unit);
    throw not_connected(unit);
}

void write_record(int unit, std::string_view record) {
    std::unique_lock<proc::RecursiveLock> guard(transfer_lock());
    if (Unit* u = find(unit)) {
        u->write_record(record);
        return;
    }
    if (unit == kConsoleUnit) {
        // The window may keep its writer waiting (a pipe that is full); a
        // stop from outside does not touch it.
        guard.unlock();
        host().write_record(record);
        return;
    }
    throw not_connected(unit);
}

void write_records(int unit, std::string_view records) {
    {
        Guard guard(transfer_lock());
        if (Unit* u = find(unit)) {
            u->write_records(records);
            return;
        }
    }
    while (!records.empty()) {
        const std::size_t end = records.find('\n');
        write_record(unit, records.substr(0, end));
        if (end == std::string_view::npos) return;
        records.remove_prefix(end + 1);
    }
}

}  // namespace orv::rt
