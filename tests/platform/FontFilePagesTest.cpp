// Letting go of mapped font files' pages: the bytes read afterwards are the
// same, only font files are touched, and the pages really leave the process.
#include "platform/FontFilePages.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <random>
#include <string>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

using qarvel::platform::IsFontFileName;
using qarvel::platform::ReleaseFontFilePages;

namespace {

#if defined(__linux__)
// The resident size in kB of the mapping that holds `at`, from smaps.
long ResidentKb(const void* at) {
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return -1;
    }
    const auto address = reinterpret_cast<unsigned long long>(at);
    bool inside = false;
    for (const QByteArray& line : smaps.readAll().split('\n')) {
        unsigned long long start = 0;
        unsigned long long end = 0;
        if (std::sscanf(line.constData(), "%llx-%llx ", &start, &end) == 2 &&
            line.indexOf(' ') > line.indexOf('-')) {
            inside = address >= start && address < end;
        } else if (inside && line.startsWith("Rss:")) {
            return line.mid(4).trimmed().split(' ').front().toLong();
        }
    }
    return -1;
}

struct Mapped {
    const unsigned char* bytes = nullptr;
    std::size_t size = 0;
    ~Mapped() {
        if (bytes != nullptr) {
            munmap(const_cast<unsigned char*>(bytes), size);
        }
    }
};

void Map(const QString& path, const std::string& content, Mapped& mapped) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content.data(), qint64(content.size())), qint64(content.size()));
    file.close();
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    void* at = mmap(nullptr, content.size(), PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    QVERIFY(at != MAP_FAILED);
    mapped.bytes = static_cast<const unsigned char*>(at);
    mapped.size = content.size();
}
#endif

} // namespace

class FontFilePagesTest : public QObject {
    Q_OBJECT

private slots:
    void fontFilesAreKnownByTheirExtension() {
        const struct {
            const char* path;
            bool font;
        } cases[] = {
            {"/usr/share/fonts/truetype/arphic/uming.ttc", true},
            {"/usr/share/fonts/truetype/liberation2/LiberationSerif-Bold.ttf", true},
            {"/opt/F/Noto.OTF", true},
            {"/x/a.pfb", true},
            {"/x/a.woff2", true},
            {"/usr/lib/x86_64-linux-gnu/libQt6Gui.so.6.4.2", false},
            {"/var/cache/fontconfig/abc-le64.cache-8", false},
            {"/x/ttf", false},
            {"/x.ttf/readme", false},
            {"/x/a.ttf.bak", false},
            {"", false},
        };
        for (const auto& c : cases) {
            QVERIFY2(IsFontFileName(c.path) == c.font, c.path);
        }
    }

    void pagesGoAndTheBytesStay() {
#if !defined(__linux__)
        QSKIP("pages are let go on Linux only");
#else
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        std::mt19937 random(12);
        std::string content(2u << 20, '\0');
        for (char& c : content) {
            c = static_cast<char>(random());
        }
        Mapped font;
        Mapped other;
        Map(dir.filePath(QStringLiteral("face.TTC")), content, font);
        Map(dir.filePath(QStringLiteral("face.dat")), content, other);
        // Read both everywhere, as glyphs are read: all their pages come in.
        unsigned sum = 0;
        for (std::size_t i = 0; i < content.size(); i += 4096) {
            sum += font.bytes[i] + other.bytes[i];
        }
        QVERIFY(sum > 0);
        QVERIFY(ResidentKb(font.bytes) >= 1024);
        QVERIFY(ReleaseFontFilePages() >= font.size);
        QCOMPARE(ResidentKb(font.bytes), 0L);
        QVERIFY(ResidentKb(other.bytes) >= 1024); // not a font: left alone
        // Read again at random places, and as a whole: the file's bytes.
        for (int i = 0; i < 1000; ++i) {
            const std::size_t at = random() % content.size();
            QCOMPARE(font.bytes[at], static_cast<unsigned char>(content[at]));
        }
        QVERIFY(std::memcmp(font.bytes, content.data(), content.size()) == 0);
#endif
    }
};

QTEST_GUILESS_MAIN(FontFilePagesTest)
#include "FontFilePagesTest.moc"
