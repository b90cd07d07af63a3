#include "host/atomic_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <system_error>
#include <utility>

#include "errors/error_handling.h"

namespace kartoplot::host {

namespace {

constexpr const char* kSource = "AtomicFile";
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as for any new file
constexpr int kNameAttempts = 16;      // fresh names tried when one is already taken
constexpr std::size_t kRandomLetters = 12;
constexpr std::size_t kMaxBaseNameBytes = 200;  // keeps the temporary's name under NAME_MAX
constexpr std::string_view kNameLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::array<int, 2> kInterruptSignals = {SIGINT, SIGTERM};
constexpr int kShellSignalBase = 128;  // exit status of a process ended by signal N: 128 + N

// The temporaries an interrupt handler must remove. This is the one piece of process-wide state
// in the host, and it has to be: a signal handler has no other way to find the files, and it may
// only read lock-free atomics and plain buffers, so the registry is a fixed table of path buffers
// rather than a container. A slot is claimed (Filling), written, then published (Live).
constexpr std::size_t kRegistrySlots = 64;
constexpr std::size_t kMaxPathBytes = 4096;
enum SlotState : int { kFree, kFilling, kLive };

struct Slot {
    std::atomic<int> state = kFree;
    std::array<char, kMaxPathBytes> path = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads these atomics");

constinit std::array<Slot, kRegistrySlots> registry = {};
// Holds of the interrupt signals in progress (creating a temporary, renaming a set); a signal
// handled in another thread meanwhile is kept in deferredSignal and raised when the hold ends.
constinit std::atomic<int> holdsInProgress = 0;
constinit std::atomic<int> deferredSignal = 0;

// Returns the slot, or -1 when the table is full or the path too long: the file is still written
// then, only not removed on an interrupt.
int registerTemporary(const std::string& absolutePath) noexcept {
    if (absolutePath.size() >= kMaxPathBytes) {
        return -1;
    }
    for (std::size_t i = 0; i < registry.size(); ++i) {
        int expected = kFree;
        if (registry[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) {
            std::memcpy(registry[i].path.data(), absolutePath.c_str(), absolutePath.size() + 1);
            registry[i].state.store(kLive, std::memory_order_release);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void unregisterTemporary(int slot) noexcept {
    if (slot >= 0) {
        registry[static_cast<std::size_t>(slot)].state.store(kFree, std::memory_order_release);
    }
}

sigset_t interruptSignalSet() noexcept {
    sigset_t set{};
    sigemptyset(&set);
    for (const int signal : kInterruptSignals) {
        sigaddset(&set, signal);
    }
    return set;
}

// Async-signal-safe from here to onInterrupt: unlink, sigaction, pthread_sigmask, raise, _exit.
[[noreturn]] void endBySignal(int signal) noexcept {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    sigset_t only{};
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    ::_exit(kShellSignalBase + signal);  // only when the default action did not end the process
}

void onInterrupt(int signal) {
    if (holdsInProgress.load() > 0) {
        deferredSignal.store(signal);
        return;
    }
    for (Slot& slot : registry) {
        if (slot.state.load(std::memory_order_acquire) == kLive) {
            ::unlink(slot.path.data());
        }
    }
    endBySignal(signal);
}

// Holds SIGINT and SIGTERM off in this thread for its lifetime; one handled in another thread
// meanwhile is raised again at the end, when whatever the hold protected is complete.
class InterruptHold {
public:
    InterruptHold() noexcept {
        const sigset_t set = interruptSignalSet();
        ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
        holdsInProgress.fetch_add(1);
    }
    ~InterruptHold() {
        holdsInProgress.fetch_sub(1);
        ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
        if (const int signal = deferredSignal.exchange(0); signal != 0) {
            ::raise(signal);
        }
    }
    InterruptHold(const InterruptHold&) = delete;
    InterruptHold& operator=(const InterruptHold&) = delete;

private:
    sigset_t previous_ = {};
};

std::string folderOf(const std::string& target) {
    const std::string folder = std::filesystem::path(target).parent_path().string();
    return folder.empty() ? "." : folder;
}

std::string reasonFor(int error, const std::string& folder) {
    switch (error) {
        case ENOENT:
            return "the folder " + folder + " does not exist";
        case ENOTDIR:
            return "the path " + folder + " is not a folder";
        case EACCES:
        case EPERM:
            return "permission denied in the folder " + folder;
        case EROFS:
            return "the folder " + folder + " is on a read-only disk";
        case ENOSPC:
        case EDQUOT:
            return "the disk is full";
        case ENAMETOOLONG:
            return "the name is too long";
        case EISDIR:
            return "a folder of that name is in the way";
        default: {
            std::string text = std::generic_category().message(error);
            if (!text.empty()) {
                text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
            }
            return text;
        }
    }
}

[[noreturn]] void throwFor(int error, const std::string& target) {
    const std::int32_t number = (error == ENOENT || error == ENOTDIR) ? errnum::kFileNotFound : errnum::kFileIo;
    throw HostError(number, kSource, "Cannot write " + target + ": " + reasonFor(error, folderOf(target)) + ".");
}

std::string randomLetters() {
    std::random_device source;  // the system's unpredictable source, not a seeded sequence
    std::uniform_int_distribution<std::size_t> pick(0, kNameLetters.size() - 1);
    std::string letters(kRandomLetters, ' ');
    for (char& letter : letters) {
        letter = kNameLetters[pick(source)];
    }
    return letters;
}

bool isFolder(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

AtomicFile AtomicFile::create(const std::string& target) {
    const std::filesystem::path targetPath(target);
    const std::string name = targetPath.filename().string();
    if (name.empty() || name == "." || name == "..") {
        throw HostError(errnum::kInvalidCall, kSource, "Cannot write " + target + ": the path names no file.");
    }
    if (isFolder(target)) {
        throwFor(EISDIR, target);
    }
    const std::string base = "." + name.substr(0, kMaxBaseNameBytes) + ".";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::filesystem::path temporary = targetPath.parent_path() / (base + randomLetters() + ".tmp");
        std::error_code ignored;
        const std::string absolute = std::filesystem::absolute(temporary, ignored).string();
        int fd = -1;
        int error = 0;
        int slot = -1;
        {
            // An interrupt cannot fall between creating the file and registering it.
            const InterruptHold hold;
            fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kNewFileMode);
            error = errno;
            if (fd >= 0) {
                slot = registerTemporary(absolute);
            }
        }
        if (fd >= 0) {
            return AtomicFile(target, temporary.string(), fd, slot);
        }
        if (error != EEXIST) {
            throwFor(error, target);
        }
    }
    throw HostError(errnum::kFileIo, kSource,
                    "Cannot write " + target + ": no unused temporary name was found in the folder " +
                        folderOf(target) + ".");
}

AtomicFile::AtomicFile(std::string target, std::string temporary, int fd, int slot) noexcept
    : target_(std::move(target)), temporary_(std::move(temporary)), fd_(fd), slot_(slot) {}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, {})),
      fd_(std::exchange(other.fd_, -1)),
      slot_(std::exchange(other.slot_, -1)),
      committed_(other.committed_) {}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept {
    if (this != &other) {
        if (!committed_) {
            discard();
        }
        target_ = std::move(other.target_);
        temporary_ = std::exchange(other.temporary_, {});
        fd_ = std::exchange(other.fd_, -1);
        slot_ = std::exchange(other.slot_, -1);
        committed_ = other.committed_;
    }
    return *this;
}

AtomicFile::~AtomicFile() {
    if (!committed_) {
        discard();
    }
}

void AtomicFile::discard() noexcept {
    if (fd_ >= 0) {
        ::close(std::exchange(fd_, -1));
    }
    if (!temporary_.empty()) {
        ::unlink(std::exchange(temporary_, {}).c_str());
    }
    unregisterTemporary(std::exchange(slot_, -1));
}

void AtomicFile::fail(int error) {
    discard();
    throwFor(error, target_);
}

void AtomicFile::write(std::string_view bytes) {
    if (fd_ < 0) {
        throw HostError(errnum::kInvalidCall, kSource, "Cannot write " + target_ + ": the file is no longer open.");
    }
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            fail(written < 0 ? errno : ENOSPC);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void AtomicFile::syncAndClose() {
    if (fd_ < 0) {
        throw HostError(errnum::kInvalidCall, kSource, "Cannot write " + target_ + ": the file is no longer open.");
    }
    if (::fsync(fd_) != 0) {
        fail(errno);
    }
    // Linux closes the descriptor even when close reports EINTR; the data is synced already.
    if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR) {
        fail(errno);
    }
}

void AtomicFile::renameIntoPlace() {
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        fail(errno);
    }
    unregisterTemporary(std::exchange(slot_, -1));
    committed_ = true;
}

void AtomicFile::syncFolder() const {
    const std::string folder = folderOf(target_);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    if (fd >= 0) {
        if (::fsync(fd) != 0) {
            error = errno;
        }
        ::close(fd);
    }
    // EINVAL: the file system cannot sync folders; the rename is as durable as it gets there.
    if (error != 0 && error != EINVAL) {
        throw HostError(errnum::kFileIo, kSource,
                        "Cannot write " + target_ + ": the file is in place, but the folder " + folder +
                            " could not be synced to disk (" + reasonFor(error, folder) + ").");
    }
}

void AtomicFile::commit() {
    syncAndClose();
    renameIntoPlace();
    syncFolder();
}

AtomicFile& AtomicFileSet::add(const std::string& target) {
    for (const AtomicFile& file : files_) {
        if (file.target() == target) {
            throw HostError(errnum::kInvalidCall, kSource,
                            "Cannot write " + target + ": the set already writes that file.");
        }
    }
    return files_.emplace_back(AtomicFile::create(target));
}

void AtomicFileSet::commit() {
    try {
        for (AtomicFile& file : files_) {
            file.syncAndClose();
        }
        // The one failure a rename can meet here that the checks before it cannot rule out is a
        // race with another program; a folder in the way is caught before anything is renamed.
        for (const AtomicFile& file : files_) {
            if (isFolder(file.target())) {
                throwFor(EISDIR, file.target());
            }
        }
        {
            const InterruptHold hold;
            for (AtomicFile& file : files_) {
                file.renameIntoPlace();
            }
        }
        for (const AtomicFile& file : files_) {
            file.syncFolder();
        }
    } catch (...) {
        for (AtomicFile& file : files_) {
            if (!file.committed()) {
                file.discard();
            }
        }
        throw;
    }
}

void removeTemporariesOnInterrupt() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (const int signal : kInterruptSignals) {
            struct sigaction previous {};
            ::sigaction(signal, nullptr, &previous);
            if ((previous.sa_flags & SA_SIGINFO) == 0 && previous.sa_handler == SIG_IGN) {
                continue;
            }
            struct sigaction action {};
            action.sa_handler = onInterrupt;
            action.sa_mask = interruptSignalSet();  // one handler at a time
            action.sa_flags = SA_RESTART;
            ::sigaction(signal, &action, nullptr);
        }
    });
}

void writeFileAtomically(const std::string& target, std::string_view bytes) {
    AtomicFile file = AtomicFile::create(target);
    file.write(bytes);
    file.commit();
}

}  // namespace kartoplot::host
