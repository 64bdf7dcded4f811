#include "DoeDurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <mutex>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QSaveFile>
#endif

namespace doeBussiness {

namespace {

std::mutex g_faultLock;
DoeDurableFile::Faults g_faults;
bool g_faultsOn = false;

QString reasonFor(const QString& path, const QString& why)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
}

#ifdef Q_OS_UNIX

QString systemReason(int code)
{
    return qt_error_string(code);
}

// The permission bits a new file gets from the process's umask, read without changing it where
// the system tells it.
mode_t newFileMode()
{
    mode_t mask = 0;
    bool known = false;
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            if (std::strncmp(line, "Umask:", 6) == 0) {
                mask = static_cast<mode_t>(std::strtoul(line + 6, nullptr, 8));
                known = true;
                break;
            }
        }
        std::fclose(status);
    }
    if (!known) {
        mask = ::umask(0);
        ::umask(mask);
    }
    return 0666 & ~mask;
}

// One write() as the disk answers it, or as the test faults make it answer.
ssize_t writeSome(int fd, const char* data, size_t size, qint64 writtenSoFar, const DoeDurableFile::Faults* faults,
                  bool& interruptNext)
{
    if (faults) {
        if (faults->interrupt && interruptNext) {
            interruptNext = false;
            errno = EINTR;
            return -1;
        }
        interruptNext = true;
        if (faults->chunk > 0)
            size = std::min(size, static_cast<size_t>(faults->chunk));
        if (faults->spaceLeft >= 0) {
            const qint64 room = faults->spaceLeft - writtenSoFar;
            if (room <= 0) {
                errno = ENOSPC;
                return -1;
            }
            size = std::min(size, static_cast<size_t>(room));
        }
    }
    return ::write(fd, data, size);
}

// Every byte of `bytes`, going on after short writes and interruptions; errno set on failure.
bool writeAll(int fd, const QByteArray& bytes, const DoeDurableFile::Faults* faults)
{
    const char* data = bytes.constData();
    qint64 done = 0;
    const qint64 total = bytes.size();
    bool interruptNext = true;
    while (done < total) {
        const ssize_t n = writeSome(fd, data + done, static_cast<size_t>(total - done), done, faults, interruptNext);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            // A regular file that takes nothing more is out of room.
            errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

// Reads the file back and compares it with what was meant; errno set when reading fails.
bool sameOnDisk(int fd, const QByteArray& bytes, bool& same)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    same = st.st_size == bytes.size();
    if (!same)
        return true;
    char buffer[1 << 16];
    qint64 at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(at));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0 || std::memcmp(buffer, bytes.constData() + at, static_cast<size_t>(n)) != 0) {
            same = false;
            return true;
        }
        at += n;
    }
    return true;
}

#endif

}  // namespace

void DoeDurableFile::setFaults(const Faults& faults)
{
    std::lock_guard<std::mutex> lock(g_faultLock);
    g_faults = faults;
    g_faultsOn = true;
}

void DoeDurableFile::clearFaults()
{
    std::lock_guard<std::mutex> lock(g_faultLock);
    g_faults = Faults();
    g_faultsOn = false;
}

DoeDurableFile::Stage DoeDurableFile::write(const QString& path, const QByteArray& bytes, QString& reason)
{
    if (path.isEmpty()) {
        reason = reasonFor(path, QStringLiteral("No file name"));
        return NotOpened;
    }
    Faults faultCopy;
    bool faulty = false;
    {
        std::lock_guard<std::mutex> lock(g_faultLock);
        faultCopy = g_faults;
        faulty = g_faultsOn;
    }
    const Faults* faults = faulty ? &faultCopy : nullptr;

#ifdef Q_OS_UNIX
    // A link is followed, so the file it names is replaced and the link stays.
    QByteArray target = QFile::encodeName(path);
    struct stat st {};
    bool exists = ::lstat(target.constData(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(target.constData(), nullptr)) {
            target = QByteArray(real);
            std::free(real);
        }
        exists = ::stat(target.constData(), &st) == 0;
    }
    if (!exists && errno != ENOENT) {
        reason = reasonFor(path, systemReason(errno));
        return NotOpened;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        reason = reasonFor(path, QStringLiteral("Not a regular file"));
        return NotOpened;
    }
    // A file the user may not write is not replaced behind their back.
    if (exists && ::access(target.constData(), W_OK) != 0) {
        reason = reasonFor(path, systemReason(errno));
        return NotOpened;
    }

    const int slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    // The temporary name stays within the name length the folder allows.
    QByteArray temp = (slash < 0 ? QByteArray() : target.left(slash + 1)) + target.mid(slash + 1).left(200)
                      + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        reason = reasonFor(path, systemReason(errno));
        return NotOpened;
    }
    auto fail = [&](int code) {
        ::close(fd);
        ::unlink(temp.constData());
        reason = reasonFor(path, systemReason(code));
        return NotWritten;
    };
    if (exists) {
        // Ownership is kept where the system allows it (for the super-user); the bits always.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Not permitted for an ordinary user: the file becomes theirs, as any save makes it.
        }
        if (::fchmod(fd, st.st_mode & 07777) != 0)
            return fail(errno);
    } else if (::fchmod(fd, newFileMode()) != 0) {
        return fail(errno);
    }
    if (!writeAll(fd, bytes, faults))
        return fail(errno);
    if (faults && faults->syncErrno != 0)
        return fail(faults->syncErrno);
    if (::fsync(fd) != 0)
        return fail(errno);
    bool same = false;
    if (!sameOnDisk(fd, bytes, same))
        return fail(errno);
    if (!same) {
        ::close(fd);
        ::unlink(temp.constData());
        reason = reasonFor(path, QStringLiteral("The file on disk differs from what was written"));
        return NotWritten;
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        reason = reasonFor(path, systemReason(code));
        return NotWritten;
    }
    const int renameCode = faults && faults->renameErrno != 0 ? faults->renameErrno
                           : ::rename(temp.constData(), target.constData()) != 0 ? errno
                                                                                  : 0;
    if (renameCode != 0) {
        ::unlink(temp.constData());
        reason = reasonFor(path, systemReason(renameCode));
        return NotWritten;
    }
    // The rename itself reaches the disk only with the folder.
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        const int synced = ::fsync(dirFd);
        const int code = errno;
        ::close(dirFd);
        if (synced != 0 && code != EINVAL && code != EROFS) {
            reason = reasonFor(path, systemReason(code));
            return NotWritten;
        }
    }
    return Written;
#else
    Q_UNUSED(faults);
    if (QFileInfo::exists(path) && !QFileInfo(path).isFile()) {
        reason = reasonFor(path, QStringLiteral("Not a regular file"));
        return NotOpened;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        reason = reasonFor(path, file.errorString());
        return NotOpened;
    }
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        reason = reasonFor(path, file.errorString());
        file.cancelWriting();
        return NotWritten;
    }
    return Written;
#endif
}

}  // namespace doeBussiness
