// Loading the source text from real files: opening errors, encodings, line
// breaks, rich text, and the counts of what was loaded.
#include "exam/SourceFile.h"

#include "exam/Errors.h"
#include "exam/ExamState.h"
#include "exam/Gbk.h"
#include "exam/SourceCount.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qarvel::exam {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

class SourceFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qarvel-source-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = fs::canonical(pattern);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::string Write(const std::string& name, std::string_view bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    std::string Load(std::string_view bytes) { return LoadSourceFile(Write("2.txt", bytes)); }

    static std::string OpenMessage(const std::string& path, const std::string& why) {
        return "Cannot open file \"" + path + "\". " + why;
    }

    fs::path dir_;
};

// Runs the body from the temp folder and comes back afterwards.
class InFolder {
public:
    explicit InFolder(const fs::path& dir) : previous_(fs::current_path()) {
        fs::current_path(dir);
    }
    ~InFolder() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

std::string OpenErrorOf(const std::string& path) {
    try {
        LoadSourceFile(path);
    } catch (const FileOpenError& e) {
        return e.what();
    }
    return "(no FileOpenError)";
}

// --- Opening ---------------------------------------------------------------

TEST_F(SourceFileTest, MissingFileOrFolderNamesTheFullPath) {
    const InFolder here(dir_);
    const std::string expected =
        OpenMessage((dir_ / "vexo/2.txt").string(), "No such file or directory");
    EXPECT_EQ(OpenErrorOf("vexo/2.txt"), expected);
    EXPECT_EQ(OpenErrorOf("./vexo/./2.txt"), expected);
    EXPECT_EQ(OpenErrorOf((dir_ / "vexo/2.txt").string()), expected);
}

TEST_F(SourceFileTest, DirectoryIsReportedAsSuch) {
    fs::create_directory(dir_ / "vexo");
    EXPECT_EQ(OpenErrorOf((dir_ / "vexo").string()),
              OpenMessage((dir_ / "vexo").string(), "Is a directory"));
}

// Only a regular file is read: anything else is refused at once, without
// reading (a FIFO whose writer never ends, a device that never ends).
TEST_F(SourceFileTest, OnlyRegularFilesAreRead) {
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A writer holds the FIFO open and writes nothing: a read would block forever.
    const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    const std::string zero = (dir_ / "zero").string();
    fs::create_symlink("/dev/zero", zero);
    for (const std::string& path : {fifo, zero}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(OpenErrorOf(path), OpenMessage(path, "Not a regular file"));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << path;
    }
    ::close(writer);
}

TEST_F(SourceFileTest, PermissionDenied) {
    const std::string path = Write("secret.txt", "abc");
    const std::string expected = OpenMessage(path, "Permission denied");
    if (geteuid() != 0) {
        fs::permissions(path, fs::perms::none);
        EXPECT_EQ(OpenErrorOf(path), expected);
        return;
    }
    // Root reads everything: try as an ordinary user in a child process.
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(2);
        }
        _exit(OpenErrorOf(path) == expected ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) {
        GTEST_SKIP() << "this root cannot switch to an ordinary user";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "expected: " << expected;
}

TEST_F(SourceFileTest, ReadErrorIsFailedToLoadStream) {
    // Reading from offset 0 of our own memory fails with EIO after a good open.
    try {
        LoadSourceFile("/proc/self/mem");
        FAIL() << "no error";
    } catch (const LoadStreamError& e) {
        EXPECT_STREQ(e.what(), "Failed to Load Stream");
    }
}

TEST_F(SourceFileTest, ClosesTheFileEveryWay) {
    const auto openFiles = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{});
    };
    const std::string good = Write("good.txt", "abc");
    const auto before = openFiles();
    for (const std::string& path : {good, dir_.string(), "/proc/self/mem"s}) {
        try {
            LoadSourceFile(path);
        } catch (const ExamError&) {
        }
    }
    EXPECT_EQ(openFiles(), before);
}

// --- Line breaks and NUL -----------------------------------------------------

TEST_F(SourceFileTest, LineBreaksBecomeCrLf) {
    const struct {
        std::string file, text;
    } cases[] = {
        {"a\r\nb", "a\r\nb"},
        {"a\nb", "a\r\nb"},
        {"a\rb", "a\r\nb"},
        {"a\n\rb", "a\r\n\r\nb"},
        {"a\r\r\nb\n\n", "a\r\n\r\nb\r\n\r\n"},
        {"a\r", "a"},       // a final lone CR is lost
        {"a\r\r", "a\r\n"}, // only the last one
        {"\r\n", "\r\n"},   //
        {"ab\0cd"s, "ab"},  // NUL ends the text
        {"a\nb\r\0c\n"s, "a\r\nb"},
        {"\0abc"s, ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Load(c.file), c.text) << testing::PrintToString(c.file);
        EXPECT_EQ(NormaliseLineBreaks(c.file), c.text);
    }
}

TEST_F(SourceFileTest, RandomLineBreaksBecomeCrLfAndTheRestStays) {
    std::mt19937 random(12);
    const char alphabet[] = {'a', '\xB0', '\r', '\n', 'b', '\r', '\n', '\0'};
    for (int round = 0; round < 500; ++round) {
        std::string file(random() % 40, 'a');
        for (char& c : file) {
            c = alphabet[random() % (round % 2 == 0 ? 4 : 8)];
        }
        const std::string out = NormaliseLineBreaks(file);
        EXPECT_EQ(Load(file), out);
        file.resize(std::min(file.size(), file.find('\0'))); // NUL ends the text
        // Every CR is followed by LF and every LF follows a CR.
        for (std::size_t i = 0; i < out.size(); ++i) {
            ASSERT_EQ(out[i] == '\r', i + 1 < out.size() && out[i + 1] == '\n') << out;
            ASSERT_EQ(out[i] == '\n', i > 0 && out[i - 1] == '\r') << out;
        }
        // With each break as '|' (CR LF is one break; a CR at the very end is
        // dropped), the text is unchanged.
        const std::string_view kept =
            std::string_view(file).substr(0, file.ends_with('\r') ? file.size() - 1 : file.size());
        std::string expected, got;
        for (std::size_t i = 0; i < kept.size(); ++i) {
            if (kept[i] != '\n' || i == 0 || kept[i - 1] != '\r') {
                expected += kept[i] == '\r' || kept[i] == '\n' ? '|' : kept[i];
            }
        }
        for (const char c : out) {
            if (c != '\n') {
                got += c == '\r' ? '|' : c;
            }
        }
        EXPECT_EQ(got, expected) << testing::PrintToString(file);
    }
}

// --- Encodings ---------------------------------------------------------------

TEST_F(SourceFileTest, GbkIsNeverTakenForUtf8) {
    const std::string_view passages[] = {
        "秋天到了，校园里的银杏叶一片片落下来，像金色的蝴蝶。",
        "我们每周练习两次打字；老师说：“眼到、心到、手到！”",
        "2026年，计算机教室换上了新的Linux电脑。",
        "你会问：为什么要练习？答案很简单——熟能生巧。",
        "路",       // C2 B7: "·" in UTF-8
        "陆路",     // C2 BD C2 B7: "½·" in UTF-8
        "稹爱",     // F0 A1 B0 AE: a valid UTF-8 character that GBK lacks
        "abc 路\n", // with ASCII around it
        "\xA1\xA1", // full-width space
    };
    for (const std::string_view utf8 : passages) {
        const std::string gbk = G(utf8);
        EXPECT_EQ(DecodeToGbk(gbk), gbk) << utf8;
        EXPECT_EQ(Load(gbk), NormaliseLineBreaks(gbk)) << utf8;
    }
}

TEST_F(SourceFileTest, UnicodeFilesAreConvertedToGbk) {
    const std::string text = G("秋天，Linux 2026！\r\n第二行");
    const std::string utf8 = "秋天，Linux 2026！\n第二行";
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    const std::u16string units = u"秋天，Linux 2026！\r第二行";
    for (const char16_t u : units) {
        le += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        be += {static_cast<char>(u >> 8), static_cast<char>(u & 0xFF)};
    }
    std::string utf32 = "\xFF\xFE\0\0"s;
    for (const char32_t u : U"秋天，Linux 2026！\r\n第二行") {
        utf32 += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8), '\0', '\0'};
    }
    utf32.resize(utf32.size() - 4); // the literal's terminator

    EXPECT_EQ(Load(utf8), text);
    EXPECT_EQ(Load("\xEF\xBB\xBF" + utf8), text);
    EXPECT_EQ(Load(le), text);
    EXPECT_EQ(Load(be), text);
    EXPECT_EQ(Load(utf32), text);
    EXPECT_EQ(Load("Привет, мир"), G("Привет, мир")); // two-byte UTF-8 that is no GBK text
    EXPECT_EQ(Load("plain ASCII\n"), "plain ASCII\r\n");
}

TEST_F(SourceFileTest, CharactersOutsideGbkBecomeQuestionMarks) {
    const std::string expected = G("笑") + "?" + G("了");
    EXPECT_EQ(Load("笑😀了"), expected);
    EXPECT_EQ(Load("\xEF\xBB\xBF笑😀了"), expected);
    EXPECT_EQ(Load("\xFF\xFE\x11\x7B\x3D\xD8\x00\xDE\x86\x4E"s), expected); // one '?' per pair
    EXPECT_EQ(Load("\xFE\xFF\x7B\x11"), G("笑"));
    EXPECT_EQ(Load("\xFE\xFF\x7B\x11\x4E"), G("笑") + "?"); // odd byte at the end
}

// --- Rich text ---------------------------------------------------------------

TEST_F(SourceFileTest, RichTextShowsItsText) {
    const struct {
        const char* rtf;
        std::string_view text; // UTF-8
    } cases[] = {
        {R"({\rtf1\ansi\ansicpg936\deff0{\fonttbl{\f0\fnil\fcharset134 \'cb\'ce\'cc\'e5;}})"
         R"({\colortbl ;\red255\green0\blue0;}{\*\generator Riched20 10.0;}\viewkind4\uc1)"
         "\r\n"
         R"(\pard\f0\fs24 \'d6\'d0\'ce\'c4\par abc\par}
)",
         "中文\r\nabc"},
        {R"({\rtf1\uc1\u20013?\u25991?\u-255?})", "中文！"},
        {R"({\rtf1\uc2\u20013\'d6\'d0 x{\uc0\u25991}\u26159??})", "中 x文是"},
        {R"({\rtf1\u-10179?\u-8704?!})", "?!"}, // a surrogate pair outside GBK
        {R"({\rtf1 a\\b\{c\}d\~e\-f\_g})", "a\\b{c}d ef-g"},
        {R"({\rtf1 one\par two\line three\tab four\par})", "one\r\ntwo\r\nthree\tfour"},
        {R"({\rtf1\b bold\b0  two\par\par})", "bold two\r\n"},
        {"{\\rtf1 ab\r\ncd\n\\par\ne}", "abcd\r\ne"},
        {R"({\rtf1{\info{\title T}{\author A}}{\stylesheet{\s0 Normal;}}{\pict\pngblip 89504e47})"
         R"({\field{\*\fldinst HYPERLINK "x"}{\fldrslt link}}})",
         "link"},
        {"{\\rtf1 a{\\pict\\bin4 }}}}}b}", "ab"},
        {R"({\rtf1\ansi\ansicpg1252 caf\'e9 \emdash})", "café —"},
        {R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fswiss\fcharset0 Arial;})"
         R"({\f1\fnil\fcharset134 SimSun;}}\f0 A \f1\'c4\'e3\'ba\'c3\plain\'e9})",
         "A 你好é"},
        {R"({\rtf1 \'c4\'e3\'d6})", "你?"}, // default code page GBK; half a character
        {R"({\rtf1 a}trailing text)", "a"},
    };
    for (const auto& c : cases) {
        std::string text;
        EXPECT_TRUE(ReadRichText(c.rtf, text)) << c.rtf;
        EXPECT_EQ(Load(c.rtf), G(c.text)) << c.rtf;
    }
}

TEST_F(SourceFileTest, MalformedRichTextLoadsAsPlainText) {
    const std::string_view files[] = {
        "{\\rtf1 abc",
        "{\\rtf1 {a}",
        "{\\rtf1 a\\'4",
        "{\\rtf1 \\'zz}",
        "{\\rtfoo x}",
        "{\\rtf1 x\\",
        "{\\rtf1\n ab\n",
        "{\\rtf1 a{\\bin10 xy}}",
        "{\\rtf1 \xD6\xD0\r\xCE",
    };
    for (const std::string_view file : files) {
        std::string text;
        const std::string plain = NormaliseLineBreaks(file);
        EXPECT_FALSE(ReadRichText(plain, text)) << file;
        EXPECT_EQ(Load(file), plain) << file;
    }
    // What decides is the text after decoding and the NUL cut.
    EXPECT_EQ(Load("{\\rtf1 a}\0b}"s), "a");
    EXPECT_EQ(Load("\xEF\xBB\xBF{\\rtf1 中\\par}"), G("中"));
}

// --- Counts of what was loaded ---------------------------------------------

TEST_F(SourceFileTest, CountsOfLoadedText) {
    const struct {
        std::string file;
        std::int32_t length, ascii, high;
        SourceCounts labels;
    } cases[] = {
        {"abc " + G("中文"), 8, 3, 4, {3, 2, 5}},
        {"", 0, 0, 0, {0, 0, 0}},
        {"\x7F", 1, 0, 1, {0, 0, 0}},
        {"\x81\x40", 2, 1, 1, {1, 0, 1}},
        {G("，　。") + "\t a", 9, 1, 6, {1, 3, 4}},
        {"ab\ncd", 6, 4, 0, {4, 0, 4}},
        {"ab\rcd\r", 6, 4, 0, {4, 0, 4}},
    };
    for (const auto& c : cases) {
        ExamState state;
        const SourceCounts counts = CountSource(state, Load(c.file));
        EXPECT_EQ(state.SourceLength, c.length) << testing::PrintToString(c.file);
        EXPECT_EQ(state.SourceAsciiCount, c.ascii);
        EXPECT_EQ(state.SourceHighByteCount, c.high);
        EXPECT_EQ(counts.ascii, c.labels.ascii);
        EXPECT_EQ(counts.hanzi, c.labels.hanzi);
        EXPECT_EQ(counts.total, c.labels.total);
    }
}

// --- The shipped sample ----------------------------------------------------

TEST(SourceFileSample, IsGbkWithCrLfAndLoadsUnchanged) {
    const fs::path sample = fs::path(QARVEL_SOURCE_DIR) / "vexo" / "2.txt";
    std::ifstream in(sample, std::ios::binary);
    ASSERT_TRUE(in) << sample;
    std::string bytes(static_cast<std::size_t>(fs::file_size(sample)), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_FALSE(bytes.starts_with("\xEF\xBB\xBF"));
    EXPECT_EQ(DecodeToGbk(bytes), bytes);
    EXPECT_EQ(NormaliseLineBreaks(bytes), bytes); // CR LF already, no NUL
    const std::string loaded = LoadSourceFile(sample.string());
    EXPECT_EQ(loaded, bytes);
    EXPECT_LE(loaded.capacity(), 2 * loaded.size()); // kept for the whole exam: no read buffer
    EXPECT_NE(GbkToUtf8(bytes).find("Linux"), std::string::npos);
    ExamState state;
    const SourceCounts counts = CountSource(state, bytes);
    EXPECT_GE(counts.hanzi, 350);
    EXPECT_LE(counts.hanzi, 450);
    EXPECT_EQ(GbkToUtf8(bytes).find('?'), std::string::npos);
}

} // namespace
} // namespace qarvel::exam
