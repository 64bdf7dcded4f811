#pragma once
// The one way every file the system writes reaches the disk: the whole content goes to a temporary
// file beside the target, is synced and checked, and only then replaces the target, so a failed
// save never reports success and never damages the earlier file.
#include <QByteArray>
#include <QString>

#include "plan_core_global.h"

namespace doeBussiness {

class PLAN_CORE_EXPORT DoeDurableFile
{
public:
    // Where a failed write stopped: the target could not be opened or created (refused as not a
    // regular file, missing folder, no permission), or the content could not be written in full.
    enum Stage { Written, NotOpened, NotWritten };

    // Puts exactly `bytes` at `path`. A pipe, device, socket or folder there is refused, as reads
    // refuse it; an existing file keeps its permission bits (and, where allowed, its owner); a new
    // one gets the usual default. On failure the temporary file is gone, the target is as it was,
    // and `reason` holds "<path>: <the system's reason>".
    static Stage write(const QString& path, const QByteArray& bytes, QString& reason);

    // Test-only faults for the write path: a disk that fills after `spaceLeft` bytes (-1: never),
    // write() calls that move at most `chunk` bytes (0: all) or are interrupted before every move,
    // and errno values that make the file sync or the rename fail (0: no fault).
    struct Faults
    {
        qint64 spaceLeft = -1;
        int chunk = 0;
        bool interrupt = false;
        int syncErrno = 0;
        int renameErrno = 0;
    };
    static void setFaults(const Faults& faults);
    static void clearFaults();
};

}  // namespace doeBussiness
