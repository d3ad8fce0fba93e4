#include "FileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <string>
#include <utility>

namespace tinko {
namespace {

// Why a file could not be written, in words the user reads.
std::string reason(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return "没有写入这个文件夹的权限";
        case EROFS:
            return "文件夹在只读的磁盘上";
        case ENOSPC:
        case EDQUOT:
            return "磁盘已满";
        case ENOENT:
        case ENOTDIR:
            return "文件夹不存在";
        case EISDIR:
            return "这个名字已被一个文件夹占用";
        default:
            return "写入失败（错误代码 " + std::to_string(error) + "）";
    }
}

[[noreturn]] void fail(int error) {
    throw FileWriteError(reason(error));
}

// A file descriptor that closes itself.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

void writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    auto left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            fail(written < 0 ? errno : ENOSPC);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

// Makes a new file with a name of its own in `folder`, made as any new file
// of the user's: 0666 less the umask (mkstemp would make 0600). Its
// descriptor, or -1 with errno set; `name` is set to its path.
int createUnique(const QByteArray& folder, QByteArray& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "/.tinko-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

}  // namespace

void AtomicFileWriter::write(const QString& path, const QByteArray& bytes) {
    const QByteArray target = QFile::encodeName(path);
    // Only a file may be replaced. A link at the name is replaced by the
    // rename below, never written through, whenever it appears.
    struct stat existing {};
    if (::lstat(target.constData(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
        !S_ISLNK(existing.st_mode)) {
        if (S_ISDIR(existing.st_mode)) {
            fail(EISDIR);
        }
        throw FileWriteError("这个名字已被一个不是文件的东西（设备或管道）占用");
    }
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    QByteArray temporary;
    Descriptor file(createUnique(folder, temporary));
    if (file.get() < 0) {
        fail(errno);
    }
    try {
        writeAll(file.get(), bytes);
        if (::fsync(file.get()) != 0 || ::close(file.release()) != 0) {
            fail(errno);
        }
        if (::rename(temporary.constData(), target.constData()) != 0) {
            fail(errno);
        }
    } catch (...) {
        ::unlink(temporary.constData());
        throw;
    }
    // The new name is in the folder only once the folder is on the disk too:
    // until then a power cut could lose the file the user was told is saved.
    // A folder that cannot be opened to sync (one without read permission)
    // or that syncs nothing of its own is left to the system; a disk that
    // fails to write is said.
    const Descriptor directory(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0 && ::fsync(directory.get()) != 0 && errno == EIO) {
        fail(EIO);
    }
}

}  // namespace tinko
