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
// or the new one, never a part. A symbolic link at the name is replaced, never
// followed; a name taken by a folder or a device is refused. The reason given
// on failure is in words the user reads.
class AtomicFileWriter : public FileWriter {
public:
    void write(const QString& path, const QByteArray& bytes) override;
};

}  // namespace tinko
