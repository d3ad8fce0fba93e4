#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>

namespace tinko {

// A file that could not be written; what() says why.
class FileWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes whole files.
class FileWriter {
public:
    virtual ~FileWriter() = default;

    // Creates or replaces the file at `path` with `bytes`. Throws
    // FileWriteError when it cannot.
    virtual void write(const QString& path, const QByteArray& bytes) = 0;
};

// Writes into a temporary file beside the target and renames it over the
// target once complete, so a crash or a full disk leaves either the old file
// or the new one, never a part. A name taken by anything but a regular file
// (a folder, a symbolic link, a device) is refused rather than written
// through.
class AtomicFileWriter : public FileWriter {
public:
    void write(const QString& path, const QByteArray& bytes) override;
};

}  // namespace tinko
