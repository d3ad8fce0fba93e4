#include "FileWriter.h"

#include <QFileInfo>
#include <QSaveFile>

namespace tinko {

void AtomicFileWriter::write(const QString& path, const QByteArray& bytes) {
    const QFileInfo target(path);
    if (target.isSymLink()) {
        throw FileWriteError("the name is taken by a symbolic link");
    }
    if (target.exists() && !target.isFile()) {
        throw FileWriteError(target.isDir() ? "the name is taken by a folder"
                                            : "the name is taken by something that is not a file");
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw FileWriteError(file.errorString().toStdString());
    }
    if (file.write(bytes) != bytes.size()) {
        const std::string why = file.errorString().toStdString();
        file.cancelWriting();
        throw FileWriteError(why);
    }
    if (!file.commit()) {
        throw FileWriteError(file.errorString().toStdString());
    }
}

}  // namespace tinko
