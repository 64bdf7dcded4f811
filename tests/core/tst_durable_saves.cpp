// Saves of the design table, factor, response and batch files under a full disk, failing syncs,
// odd targets and kept permissions, through the facade.
#include <cerrno>
#include <cstring>
#include <functional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "DoeBussinessApi.h"
#include "DoeDurableFile.h"

using namespace doeBussiness;

namespace {

using Save = std::function<bool(DoeBussinessApi&, const QString&, QString&)>;

const QList<QPair<const char*, Save>>& writers()
{
    static const QList<QPair<const char*, Save>> list = {
        {"table", [](DoeBussinessApi& a, const QString& p, QString& e) { return a.saveDoeTableByPath(p, e); }},
        {"factors", [](DoeBussinessApi& a, const QString& p, QString& e) { return a.saveFactorByPath(p, e); }},
        {"responses", [](DoeBussinessApi& a, const QString& p, QString& e) { return a.saveResponseByPath(p, e); }},
        {"batch", [](DoeBussinessApi& a, const QString& p, QString& e) { return a.saveZelBatchSimFile(p, e); }},
    };
    return list;
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

struct FaultGuard
{
    explicit FaultGuard(const DoeDurableFile::Faults& f) { DoeDurableFile::setFaults(f); }
    ~FaultGuard() { DoeDurableFile::clearFaults(); }
};

class DurableSaves : public ::testing::Test
{
protected:
    // A facade whose table, factors and responses make files of about `rows` lines each.
    static void fill(DoeBussinessApi& api, int rows, const QTemporaryDir& dir)
    {
        QByteArray table = "A,B,Note\n";
        for (int r = 0; r < rows; ++r)
            table += QByteArray::number(r) + "," + QByteArray::number(r * 0.5) + ",level " + QByteArray::number(r % 7) + "\n";
        const QString src = dir.filePath("source.txt");
        put(src, table);
        QString err;
        ASSERT_TRUE(api.loadDoeTableByPath(src, err)) << err.toStdString();
        QFile::remove(src);
        for (int i = 0; i < rows / 3; ++i) {
            DoeDesignFactor f;
            api.addFactorData(Categorical, 3, f, err);
            DoeDesignResponse r;
            api.addResponseData(Maximize, r, err);
        }
    }
    // Names in the folder other than the ones expected: temporaries left behind.
    int strays(const QStringList& expected) const
    {
        int n = 0;
        for (const QString& name : QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            n += expected.contains(name) ? 0 : 1;
        return n;
    }

    QTemporaryDir m_dir;
};

}  // namespace

// A disk that fills at 0 to 60 KiB, a failing sync and a failing rename, for every writer and for a
// small and a large file: success only with the whole new file in place, otherwise the old file
// byte for byte with the system's reason, and never a temporary left. Writes also come back short
// and interrupted, so the whole-content loop is exercised on every path.
TEST_F(DurableSaves, EveryWriterKeepsTheOldFileOrWritesTheWholeNewOne)
{
    struct Case
    {
        const char* name;
        DoeDurableFile::Faults faults;
        const char* reason;  // nullptr: the save must succeed when the file fits
    };
    QList<Case> cases;
    for (qint64 kib : {0, 4, 12, 20, 40, 60}) {
        DoeDurableFile::Faults f;
        f.spaceLeft = kib * 1024;
        f.chunk = 3000;
        f.interrupt = true;
        cases.append({"disk full", f, "No space left on device"});
    }
    DoeDurableFile::Faults sync;
    sync.syncErrno = EIO;
    cases.append({"sync fails", sync, "Input/output error"});
    DoeDurableFile::Faults rename;
    rename.renameErrno = EACCES;
    cases.append({"rename fails", rename, "Permission denied"});

    const QByteArray old("old,file\n1,2\n");
    int falseSuccesses = 0, damaged = 0, left = 0, checked = 0;
    for (int rows : {8, 4000}) {
        DoeBussinessApi api;
        fill(api, rows, m_dir);
        for (const auto& writer : writers()) {
            // What the save writes when nothing goes wrong.
            QString err;
            ASSERT_TRUE(writer.second(api, m_dir.filePath("reference.csv"), err)) << err.toStdString();
            const QByteArray fresh = bytesOf(m_dir.filePath("reference.csv"));
            QFile::remove(m_dir.filePath("reference.csv"));
            for (const Case& c : cases) {
                const QString target = m_dir.filePath("good.csv");
                put(target, old);
                QString e;
                bool saved = false;
                {
                    FaultGuard guard(c.faults);
                    saved = writer.second(api, target, e);
                }
                const bool fits = c.faults.spaceLeft >= fresh.size();
                const QByteArray now = bytesOf(target);
                const std::string what = std::string(writer.first) + " rows " + std::to_string(rows) + " " + c.name
                                         + " " + std::to_string(c.faults.spaceLeft);
                ++checked;
                if (fits) {
                    EXPECT_TRUE(saved) << what << " " << e.toStdString();
                    EXPECT_EQ(now, fresh) << what;
                } else {
                    falseSuccesses += saved ? 1 : 0;
                    damaged += now == old ? 0 : 1;
                    EXPECT_EQ(e, QStringLiteral("Fail to write file\n%1: %2\n").arg(target, c.reason)) << what;
                }
                left += strays({"good.csv"});
            }
        }
    }
    EXPECT_EQ(checked, 2 * 4 * 8);
    EXPECT_EQ(falseSuccesses, 0);
    EXPECT_EQ(damaged, 0);
    EXPECT_EQ(left, 0);
}

// Pipes, devices, sockets and folders are refused with the reads' reason and stay what they were.
TEST_F(DurableSaves, TargetsThatAreNotRegularFilesAreRefusedAndKept)
{
    DoeBussinessApi api;
    fill(api, 3, m_dir);
    const QString fifo = m_dir.filePath("pipe.csv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = m_dir.filePath("folder.csv");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString socketPath = m_dir.filePath("sock.csv");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(socketPath);
    ASSERT_LT(encoded.size(), static_cast<int>(sizeof addr.sun_path));
    std::memcpy(addr.sun_path, encoded.constData(), static_cast<size_t>(encoded.size()));
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    QList<QPair<QString, mode_t>> targets = {{fifo, S_IFIFO}, {folder, S_IFDIR}, {socketPath, S_IFSOCK}};
    // A device node of our own (the null device) where the system lets us make one.
    const QString device = m_dir.filePath("null.csv");
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        targets.append({device, S_IFCHR});
    for (const auto& target : targets) {
        for (const auto& writer : writers()) {
            QString e;
            EXPECT_FALSE(writer.second(api, target.first, e)) << writer.first;
            EXPECT_EQ(e, QStringLiteral("Fail to open file\n%1: Not a regular file\n").arg(target.first));
            struct stat st {};
            ASSERT_EQ(::lstat(QFile::encodeName(target.first).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & S_IFMT, target.second) << target.first.toStdString();
        }
    }
    ::close(sock);
    EXPECT_EQ(strays({"pipe.csv", "folder.csv", "sock.csv", "null.csv"}), 0);
}

// A replaced file keeps its permission bits, a link keeps pointing at the file it names, and a new
// file gets the mode the umask leaves. A file the user may not write is refused, not replaced.
TEST_F(DurableSaves, ReplacedFilesKeepTheirModeAndNewFilesFollowTheUmask)
{
    DoeBussinessApi api;
    fill(api, 3, m_dir);
    const bool superUser = ::geteuid() == 0;
    const struct
    {
        mode_t mode;
        bool writable;
    } rows[] = {{0644, true}, {0600, true}, {0640, true}, {0755, true}, {0444, superUser}};
    for (const auto& row : rows) {
        const QString target = m_dir.filePath(QStringLiteral("m%1.csv").arg(row.mode, 0, 8));
        put(target, "old\n");
        ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), row.mode), 0);
        QString e;
        EXPECT_EQ(api.saveDoeTableByPath(target, e), row.writable) << std::oct << row.mode;
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, row.mode);
        EXPECT_EQ(bytesOf(target) != "old\n", row.writable) << std::oct << row.mode;
    }

    const QString real = m_dir.filePath("real.csv");
    put(real, "old\n");
    const QString link = m_dir.filePath("link.csv");
    ASSERT_TRUE(QFile::link(real, link));
    QString e;
    ASSERT_TRUE(api.saveDoeTableByPath(link, e)) << e.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(bytesOf(real).startsWith("A,B,Note\n"));

    for (mode_t mask : {mode_t(022), mode_t(027), mode_t(077)}) {
        const mode_t before = ::umask(mask);
        const QString fresh = m_dir.filePath(QStringLiteral("new%1.csv").arg(mask, 0, 8));
        EXPECT_TRUE(api.saveFactorByPath(fresh, e));
        ::umask(before);
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0666 & ~mask) << std::oct << mask;
    }
}
