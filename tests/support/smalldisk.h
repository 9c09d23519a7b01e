#pragma once

#include <QString>

namespace orvotest {

// A real file system a few pages large (a tmpfs) mounted over a folder,
// made nearly full by fill(): the folder's earlier content is hidden until
// the object goes, when it is unmounted. Mounting needs root; a test that
// cannot have one skips:
//     orvotest::SmallDisk disk(dir);
//     if (!disk.isMounted())
//         QSKIP(qPrintable(disk.whyNot()));
class SmallDisk
{
public:
    explicit SmallDisk(const QString& dir, int pages = 64);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool isMounted() const { return mounted; }
    QString whyNot() const { return why; }
    // Takes all the room left but one 4 KiB block, with a file of its own
    // (named "filler"). False when that did not work.
    bool fill();

    static constexpr int BlockSize = 4096;

private:
    QString dir;
    QString why;
    bool mounted = false;
};

} // namespace orvotest
