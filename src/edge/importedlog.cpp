#include "importedlog.h"

#include "corestrings.h"
#include "files/temporaryname.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <fcntl.h>
#include <unistd.h>

namespace {

// A file without a name in the system's temporary folder, read and written through
// /proc/self/fd; it is gone when its descriptor is closed. Nothing where the system or the
// file system has no such files.
std::shared_ptr<const int> unnamedTemporary()
{
#ifdef O_TMPFILE
    const int descriptor = ::open(QFile::encodeName(QDir::tempPath()).constData(),
                                  O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor >= 0)
        return std::shared_ptr<const int>(new int(descriptor), [](const int *open) {
            ::close(*open);
            delete open;
        });
#endif
    return nullptr;
}

// A temporary file with a name, removed with the last copy of the log, or by a signal that stops
// the program first. The file goes before its name is let go.
struct NamedTemporary
{
    TemporaryName guard;
    QTemporaryFile file;
};

} // namespace

ImportedLog importToTemporaryLog(const QString &path, LogTextFormat format)
{
    ImportedLog log;
    if (const std::shared_ptr<const int> unnamed = unnamedTemporary()) {
        log.readPath = "/proc/self/fd/" + std::to_string(*unnamed);
        log.temporary = unnamed;
    } else {
        auto named = std::make_shared<NamedTemporary>();
        named->file.setFileTemplate(QDir::tempPath() + "/quorvane-XXXXXX.qvl");
        if (!named->file.open()) {
            log.problem = "cannot make a temporary file in " + QDir::tempPath();
            return log;
        }
        named->file.close(); // the import replaces it; its name stays ours until it is removed
        log.readPath = nativePath(named->file.fileName());
        named->guard = TemporaryName(log.readPath);
        log.temporary = named;
    }
    log.summary = importLogText(nativePath(path), format, {}, log.readPath);
    return log;
}
