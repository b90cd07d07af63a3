// Atomic file writing for every file the program writes. A file is written to a fresh
// temporary file in the target's folder and renamed over the target only when it is complete,
// so a reader sees the old file or the new one, never a half-written one, and a failure or an
// interrupt leaves the old file as it was.
//
// POSIX only: the temporary is created exclusively (O_EXCL, O_NOFOLLOW) under an unpredictable
// name, so a link planted in the folder is never followed and two writers never share a
// temporary. Renaming over a target that is a symbolic link replaces the link itself.
#pragma once

#include <deque>
#include <string>
#include <string_view>

namespace kartoplot::host {

// One file being written. Move-only; the destructor removes a temporary that was not committed.
class AtomicFile {
public:
    // Creates the temporary ".NAME.XXXXXXXXXXXX.tmp" next to `target`, with the permissions of
    // a normally created file (0666 minus the umask). Throws HostError with a sentence naming
    // the target and the reason (folder missing, permission denied, target is a folder, ...).
    static AtomicFile create(const std::string& target);

    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    // The open temporary, for writers that take a descriptor; -1 once committed or moved from.
    // The descriptor stays owned by this object: whoever writes through it must not close it
    // and must flush its own buffers before commit().
    int descriptor() const noexcept { return fd_; }
    const std::string& target() const noexcept { return target_; }
    const std::string& temporaryPath() const noexcept { return temporary_; }
    bool committed() const noexcept { return committed_; }

    // Appends the bytes. Throws HostError on a short write (disk full, quota, I/O error).
    void write(std::string_view bytes);

    // Syncs the temporary to disk, renames it over the target and syncs the folder. Throws
    // HostError on failure; the temporary is then removed and the old target is untouched
    // (except when only the folder sync fails: the new file is already in place then).
    void commit();

private:
    friend class AtomicFileSet;

    AtomicFile(std::string target, std::string temporary, int fd, int slot) noexcept;

    void syncAndClose();      // fsync + close; throws after discarding
    void renameIntoPlace();   // rename over the target; throws after discarding
    void syncFolder() const;  // fsync of the target's folder; throws
    void discard() noexcept;  // removes the temporary, closes the descriptor
    [[noreturn]] void fail(int error);  // discards, then throws the sentence for errno `error`

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    int slot_ = -1;  // the entry in the interrupt-cleanup registry, -1 when none
    bool committed_ = false;
};

// Writes the whole file at once through an AtomicFile: either the new bytes are in place or
// the old file is untouched. Throws HostError as AtomicFile does.
void writeFileAtomically(const std::string& target, std::string_view bytes);

// Several files that replace their targets together or not at all: the pictures of one run,
// a project and its side files. The destructor removes whatever was not committed.
class AtomicFileSet {
public:
    AtomicFileSet() = default;
    AtomicFileSet(AtomicFileSet&&) noexcept = default;
    AtomicFileSet& operator=(AtomicFileSet&&) noexcept = default;
    AtomicFileSet(const AtomicFileSet&) = delete;
    AtomicFileSet& operator=(const AtomicFileSet&) = delete;
    ~AtomicFileSet() = default;

    // Starts one more file. The reference stays valid for the life of the set. Throws
    // HostError as AtomicFile::create does, or when the target is already in the set.
    AtomicFile& add(const std::string& target);

    // Syncs every file, checks every target can be replaced, then renames them all with
    // SIGINT and SIGTERM held off in this thread (and, once removeTemporariesOnInterrupt() has
    // run, deferred in every other thread), so an interrupt lands before or after the whole set.
    // Throws HostError when a file cannot be synced or a target cannot be replaced (it is a
    // folder); every temporary is removed then and no target has changed.
    void commit();

    std::size_t size() const noexcept { return files_.size(); }

private:
    std::deque<AtomicFile> files_;  // a deque keeps references from add() valid
};

// Installs SIGINT and SIGTERM handlers (once per process) that remove every temporary still
// open, then end the process by the same signal with its default action, so the parent sees
// WIFSIGNALED with that signal (a shell reports 130 for SIGINT, 143 for SIGTERM). A signal
// that was ignored when this is first called stays ignored. A signal arriving while a set
// renames its files takes effect once the renaming is done.
void removeTemporariesOnInterrupt();

}  // namespace kartoplot::host
