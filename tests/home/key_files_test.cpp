// Key files on disk: layout, single-value updates that leave the rest of the file alone, damaged
// files that are refused and kept, folders that cannot be made or written, encodings.
#include "home/key_files.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <ostream>
#include <sys/resource.h>
#include <unistd.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray& b, std::ostream* os) {
    *os << '"' << b.toPercentEncoding(" <>=\"/?!-_.:").toStdString() << '"';
}
QT_END_NAMESPACE

using namespace fenno;

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray NewFile() {
    return QByteArray::fromStdString(NewKeyFileText());
}

QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

class KeyFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_files.SetDirectoryFailureHandler([this](const QString& text) { m_notices << text; });
    }
    void TearDown() override {
        EXPECT_TRUE(m_notices.isEmpty()) << m_notices.join('|').toStdString();
    }

    QString Dir() const { return m_tmp.path() + "/Fenno/Plug"; }
    QString Path(int node) const { return Dir() + '/' + QString::number(node) + ".xml"; }

    QTemporaryDir m_tmp;
    KeyFiles m_files{m_tmp.path()};
    QStringList m_notices;
};

TEST_F(KeyFilesTest, CreateWritesTheNewLayoutAndReadsBack) {
    EXPECT_EQ(m_files.KeyFilePath(5), Path(5));
    EXPECT_FALSE(m_files.KeyFileExists(5));
    // An existing file, damaged or not, is replaced.
    WriteBytes(Path(5), "garbage");
    ASSERT_TRUE(m_files.CreateKeyFile(5));
    EXPECT_TRUE(m_files.KeyFileExists(5));
    EXPECT_EQ(ReadBytes(Path(5)), NewFile());
    EXPECT_EQ(Entries(Dir()), QStringList{"5.xml"}) << "no temporary file left behind";

    QList<KeyEntry> keys;
    QString error;
    ASSERT_TRUE(m_files.ReadKeys(5, &keys, &error)) << error.toStdString();
    ASSERT_EQ(keys.size(), 32);
    for (int k = 0; k < 32; ++k) {
        EXPECT_EQ(keys[k].index, k);
        EXPECT_EQ(keys[k].name, QStringLiteral("Key%1").arg(k + 1));
        EXPECT_EQ(keys[k].status, 0);
    }
    EXPECT_EQ(m_files.GetKeyName(5, 31), "Key32");
    EXPECT_EQ(m_files.GetKeyName(5, 32), "") << "a slot no element carries";
}

TEST_F(KeyFilesTest, SetKeyStatusChangesOnlyItsOwnLine) {
    ASSERT_TRUE(m_files.CreateKeyFile(5));
    const QList<QByteArray> before = ReadBytes(Path(5)).split('\n');
    ASSERT_TRUE(m_files.SetKeyStatus(5, 3, 1));
    const QList<QByteArray> after = ReadBytes(Path(5)).split('\n');
    ASSERT_EQ(after.size(), before.size());
    int unchangedKeyLines = 0;
    for (qsizetype i = 0; i < after.size(); ++i) {
        if (before[i].startsWith("<Key ") && after[i] == before[i]) ++unchangedKeyLines;
        if (i != 5) {
            EXPECT_EQ(after[i], before[i]) << "line " << i;
        }
    }
    EXPECT_EQ(after[5], "<Key Index=\"3\" Name=\"Key4\" Status=\"1\"/>\r");
    EXPECT_EQ(unchangedKeyLines, 31);

    QList<KeyEntry> keys;
    ASSERT_TRUE(m_files.ReadKeys(5, &keys));
    for (const KeyEntry& e : keys)
        EXPECT_EQ(e.status, e.index == 3 ? 1 : 0) << e.index;
    // And back: the file is the new file again, byte for byte.
    ASSERT_TRUE(m_files.SetKeyStatus(5, 3, 0));
    EXPECT_EQ(ReadBytes(Path(5)), NewFile());
}

TEST_F(KeyFilesTest, NamesWithEntitiesAndCjkRoundTrip) {
    ASSERT_TRUE(m_files.CreateKeyFile(5));
    const QString name = QStringLiteral("R&B \"Live\" <1>");
    ASSERT_TRUE(m_files.SetKeyName(5, 0, name));
    ASSERT_TRUE(m_files.SetKeyName(5, 7, QStringLiteral("电视开关")));
    const QByteArray bytes = ReadBytes(Path(5));
    EXPECT_TRUE(bytes.contains("<Key Index=\"0\" Name=\"R&amp;B &quot;Live&quot; &lt;1&gt;\" "
                               "Status=\"0\"/>\r\n"));
    EXPECT_TRUE(bytes.contains(
        "<Key Index=\"7\" Name=\"\xE7\x94\xB5\xE8\xA7\x86\xE5\xBC\x80\xE5\x85\xB3\""));
    EXPECT_EQ(m_files.GetKeyName(5, 0), name);
    EXPECT_EQ(m_files.GetKeyName(5, 7), QStringLiteral("电视开关"));
    QList<KeyEntry> keys;
    ASSERT_TRUE(m_files.ReadKeys(5, &keys));
    EXPECT_EQ(keys[0].name, name);

    // Only the two lines changed.
    const QList<QByteArray> now = bytes.split('\n');
    const QList<QByteArray> fresh = NewFile().split('\n');
    ASSERT_EQ(now.size(), fresh.size());
    int changed = 0;
    for (qsizetype i = 0; i < now.size(); ++i)
        changed += now[i] != fresh[i];
    EXPECT_EQ(changed, 2);
}

TEST_F(KeyFilesTest, FileWithoutTheLeadingAngleOfTheDeclarationStillWorks) {
    const QByteArray full = NewFile();
    ASSERT_TRUE(full.startsWith("<?xml"));
    const QByteArray cut = full.mid(2); // "xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Keys>…"
    WriteBytes(Path(5), cut);
    QList<KeyEntry> keys;
    ASSERT_TRUE(m_files.ReadKeys(5, &keys));
    EXPECT_EQ(keys.size(), 32);
    EXPECT_EQ(m_files.GetKeyName(5, 4), "Key5");

    ASSERT_TRUE(m_files.SetKeyStatus(5, 4, 1));
    QByteArray expected = cut;
    expected.replace("Index=\"4\" Name=\"Key5\" Status=\"0\"",
                     "Index=\"4\" Name=\"Key5\" Status=\"1\"");
    EXPECT_EQ(ReadBytes(Path(5)), expected);
}

TEST_F(KeyFilesTest, UnusableFilesAreRefusedAndKeptAsTheyAre) {
    const QByteArray full = NewFile();
    QByteArray utf16Broken("\xFF\xFE", 2);
    utf16Broken += QByteArray("<\0K\0/\0>\0\x00\xD8"
                              "A\0",
                              12); // a high surrogate alone
    static const char garbage[] = "\x00\x01\x02\xFF binary \x7F";
    struct Case {
        const char* what;
        QByteArray bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"two roots", full + "<Keys><Key Index=\"3\" Name=\"other\" Status=\"0\"/></Keys>\r\n",
         "root_has_sibling"},
        {"truncated in a line", full.left(full.indexOf("Index=\"9\"") + 8), "unended_start_tag"},
        {"truncated before the end tag", full.left(full.indexOf("</Keys>")), "unended_start_tag"},
        {"lone end tag", QByteArray(full).replace("<Key Index=\"2\"", "</Key><Key Index=\"2\""),
         "lone_end_tag"},
        {"empty", "", "no_root_element"},
        {"garbage", QByteArray(garbage, sizeof garbage - 1), "no_root_element"},
        {"unknown encoding",
         QByteArray(full).replace("encoding=\"UTF-8\"", "encoding=\"x-no-such-charset\""),
         "unknown encoding"},
        {"invalid UTF-16", utf16Broken, "not valid"},
        {"too large", full + QByteArray(kMaxKeyFileBytes, ' '), "too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(Path(5), c.bytes);
        QList<KeyEntry> keys{{99, "kept", 1}};
        QString error;
        EXPECT_FALSE(m_files.ReadKeys(5, &keys, &error));
        EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
        ASSERT_EQ(keys.size(), 1) << "the caller's list is left as it was";
        EXPECT_EQ(keys[0].name, "kept");
        EXPECT_FALSE(m_files.SetKeyName(5, 3, "new"));
        EXPECT_FALSE(m_files.SetKeyStatus(5, 3, 1));
        EXPECT_EQ(m_files.GetKeyName(5, 3), "");
        EXPECT_EQ(ReadBytes(Path(5)), c.bytes)
            << "the damaged file is neither changed nor replaced";
        EXPECT_EQ(Entries(Dir()), QStringList{"5.xml"});
    }
}

TEST_F(KeyFilesTest, MissingFileOrSlotWritesNothing) {
    QString error;
    EXPECT_FALSE(m_files.ReadKeys(5, nullptr, &error));
    EXPECT_TRUE(error.contains("cannot open")) << error.toStdString();
    EXPECT_FALSE(m_files.SetKeyName(5, 0, "x"));
    EXPECT_FALSE(m_files.SetKeyStatus(5, 0, 1));
    EXPECT_EQ(m_files.GetKeyName(5, 0), "");
    EXPECT_EQ(Entries(Dir()), QStringList{}) << "nothing may create the file but CreateKeyFile";

    ASSERT_TRUE(m_files.CreateKeyFile(5));
    EXPECT_FALSE(m_files.SetKeyStatus(5, 32, 1, &error));
    EXPECT_TRUE(error.contains("Index 32")) << error.toStdString();
    EXPECT_FALSE(m_files.SetKeyName(5, -1, "x"));
    EXPECT_EQ(ReadBytes(Path(5)), NewFile());
}

TEST_F(KeyFilesTest, DeleteOneAndDeleteAll) {
    ASSERT_TRUE(m_files.CreateKeyFile(5));
    ASSERT_TRUE(m_files.CreateKeyFile(6));
    EXPECT_TRUE(m_files.DeleteKeyFile(5));
    EXPECT_FALSE(QFileInfo::exists(Path(5)));
    EXPECT_TRUE(QFileInfo::exists(Path(6)));
    EXPECT_TRUE(m_files.DeleteKeyFile(5)) << "a missing file is not an error";
    EXPECT_TRUE(m_files.DeleteKeyFile(77));

    WriteBytes(Dir() + "/old/deeper/12.xml", "x");
    WriteBytes(Dir() + "/old/.hidden", "x");
    WriteBytes(m_tmp.path() + "/Fenno/keep.txt", "outside the key directory");
    ASSERT_TRUE(m_files.DeleteAllKeyFiles());
    EXPECT_EQ(Entries(Dir()), QStringList{"old"});
    EXPECT_EQ(Entries(Dir() + "/old"), QStringList{"deeper"});
    EXPECT_EQ(Entries(Dir() + "/old/deeper"), QStringList{});
    EXPECT_TRUE(QFileInfo::exists(m_tmp.path() + "/Fenno/keep.txt"));
}

TEST_F(KeyFilesTest, DirectoryThatCannotBeMadeFailsEveryOperationQuietly) {
    // A plain file where the documents folder should be: no directory can be made below it.
    const QString blocker = m_tmp.path() + "/Documents";
    WriteBytes(blocker, "not a folder");
    KeyFiles files(blocker);
    QStringList notices;
    files.SetDirectoryFailureHandler([&](const QString& text) { notices << text; });

    EXPECT_EQ(files.KeyDirectory(), blocker + "/Fenno/Plug") << "the path is returned anyway";
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0], QString::fromUtf8("创建Key目录失败!"));

    QString error;
    EXPECT_FALSE(files.CreateKeyFile(5, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(files.ReadKeys(5, nullptr));
    EXPECT_FALSE(files.SetKeyStatus(5, 0, 1));
    EXPECT_EQ(files.GetKeyName(5, 0), "");
    EXPECT_FALSE(files.DeleteAllKeyFiles());
    EXPECT_EQ(ReadBytes(blocker), "not a folder");
    EXPECT_GT(notices.size(), 1) << "every operation goes through the directory step";
}

TEST_F(KeyFilesTest, VanishedFoldersAreMadeAgain) {
    ASSERT_TRUE(m_files.CreateKeyFile(5));
    ASSERT_TRUE(QDir(m_tmp.path() + "/Fenno").removeRecursively());
    EXPECT_FALSE(m_files.ReadKeys(5, nullptr));
    EXPECT_EQ(m_files.GetKeyName(5, 0), "");
    EXPECT_FALSE(m_files.SetKeyStatus(5, 0, 1));
    ASSERT_TRUE(m_files.CreateKeyFile(5));
    EXPECT_EQ(ReadBytes(Path(5)), NewFile());

    // Every missing parent is made, the documents folder included.
    KeyFiles deep(m_tmp.path() + "/gone/Documents");
    ASSERT_TRUE(deep.CreateKeyFile(9));
    EXPECT_TRUE(QFileInfo(m_tmp.path() + "/gone/Documents/Fenno/Plug/9.xml").isFile());
}

TEST_F(KeyFilesTest, ReadOnlyFolderAndFileFailCleanly) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root; see WriteFailure test";
    ASSERT_TRUE(m_files.CreateKeyFile(5));
    ASSERT_TRUE(QFile::setPermissions(Path(5), QFileDevice::ReadOwner));
    EXPECT_FALSE(m_files.SetKeyStatus(5, 1, 1)) << "a read-only file is not replaced";
    EXPECT_EQ(ReadBytes(Path(5)), NewFile());
    ASSERT_TRUE(QFile::setPermissions(Path(5), QFileDevice::ReadOwner | QFileDevice::WriteOwner));

    const auto dirPerms = QFileInfo(Dir()).permissions();
    ASSERT_TRUE(QFile::setPermissions(Dir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QString error;
    EXPECT_FALSE(m_files.SetKeyStatus(5, 1, 1, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(m_files.CreateKeyFile(5));
    EXPECT_FALSE(m_files.CreateKeyFile(6));
    EXPECT_FALSE(m_files.DeleteKeyFile(5));
    EXPECT_FALSE(m_files.DeleteAllKeyFiles());
    ASSERT_TRUE(QFile::setPermissions(Dir(), dirPerms));
    EXPECT_EQ(ReadBytes(Path(5)), NewFile());
    EXPECT_EQ(Entries(Dir()), QStringList{"5.xml"});
}

// A file-size limit makes writes fail even for root, which the permission test cannot do.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

  private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

TEST_F(KeyFilesTest, WriteFailureKeepsThePreviousFile) {
    ASSERT_TRUE(m_files.CreateKeyFile(5));
    ASSERT_TRUE(m_files.SetKeyName(5, 2, "before"));
    const QByteArray saved = ReadBytes(Path(5));
    {
        FileSizeLimit limit(200);
        ASSERT_TRUE(limit.ok());
        QString error;
        EXPECT_FALSE(m_files.SetKeyName(5, 2, "after", &error));
        EXPECT_TRUE(error.contains("cannot write")) << error.toStdString();
        EXPECT_FALSE(m_files.CreateKeyFile(5));
    }
    EXPECT_EQ(ReadBytes(Path(5)), saved);
    EXPECT_EQ(Entries(Dir()), QStringList{"5.xml"}) << "the half-written copy is gone";
    EXPECT_EQ(m_files.GetKeyName(5, 2), "before");
}

TEST_F(KeyFilesTest, OtherEncodingsAreReadAndSavedAsUtf8) {
    const std::string utf8 = NewKeyFileText();
    QString text = QString::fromStdString(utf8);
    text.replace("Name=\"Key2\"", QStringLiteral("Name=\"电视\""));

    // UTF-16 with a byte-order mark: read, then the first update saves UTF-8 and says so.
    QString declared16 = text;
    declared16.replace("encoding=\"UTF-8\"", "encoding=\"UTF-16\"");
    QStringEncoder utf16(QStringConverter::Utf16LE);
    WriteBytes(Path(5), QByteArray("\xFF\xFE", 2) + QByteArray(utf16.encode(declared16)));
    EXPECT_EQ(m_files.GetKeyName(5, 1), QStringLiteral("电视"));
    ASSERT_TRUE(m_files.SetKeyStatus(5, 1, 1));
    QString expected = text;
    expected.replace(QStringLiteral("Name=\"电视\" Status=\"0\""),
                     QStringLiteral("Name=\"电视\" Status=\"1\""));
    EXPECT_EQ(ReadBytes(Path(5)), expected.toUtf8());

    // A declared legacy encoding.
    QString declaredGbk = text;
    declaredGbk.replace("encoding=\"UTF-8\"", "encoding=\"GBK\"");
    QStringEncoder gbk("GBK");
    ASSERT_TRUE(gbk.isValid());
    const QByteArray gbkBytes = gbk.encode(declaredGbk);
    ASSERT_FALSE(gbkBytes.contains(QStringLiteral("电视").toUtf8()));
    WriteBytes(Path(6), gbkBytes);
    EXPECT_EQ(m_files.GetKeyName(6, 1), QStringLiteral("电视"));

    // A UTF-8 byte-order mark stays, and so does every other byte.
    const QByteArray bom("\xEF\xBB\xBF");
    WriteBytes(Path(7), bom + QByteArray::fromStdString(utf8));
    ASSERT_TRUE(m_files.SetKeyStatus(7, 0, 1));
    QByteArray edited = bom + QByteArray::fromStdString(utf8);
    edited.replace("Index=\"0\" Name=\"Key1\" Status=\"0\"",
                   "Index=\"0\" Name=\"Key1\" Status=\"1\"");
    EXPECT_EQ(ReadBytes(Path(7)), edited);
}

TEST(KeyFilesDefaultLocation, LivesUnderTheUsersDocuments) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QByteArray savedHome = qgetenv("HOME");
    // Test mode alone still points at the real documents folder, so the home moves as well.
    qputenv("HOME", QFile::encodeName(home.path()));
    QStandardPaths::setTestModeEnabled(true);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);

    KeyFiles files;
    const QString dir = files.KeyDirectory();
    const bool created = files.CreateKeyFile(5);
    const QString path = files.KeyFilePath(5);

    QStandardPaths::setTestModeEnabled(false);
    qputenv("HOME", savedHome);

    ASSERT_TRUE(documents.startsWith(home.path())) << documents.toStdString();
    EXPECT_EQ(dir, documents + "/Fenno/Plug");
    EXPECT_TRUE(created);
    EXPECT_EQ(path, documents + "/Fenno/Plug/5.xml");
    EXPECT_EQ(ReadBytes(path), NewFile());
}

} // namespace
