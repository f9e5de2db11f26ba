// qarvel-check [FILE]: reads the exam's source text (by default vexo/2.txt in
// the working directory) as the exam window will load it, a block at a time,
// and prints in Chinese its encoding, the three counts the window shows, its
// lines, the characters that will not show as themselves, and warnings where
// the file is probably not what the teacher meant (naming the encoding it was
// probably written in). Status 0 when the file is fine, 1 with warnings, 2
// when it cannot be read.
#include "exam/Errors.h"
#include "exam/Gbk.h"
#include "exam/SourceCheck.h"
#include "exam/SourceFile.h"

#include <cstdio>
#include <string>
#include <string_view>

#ifndef QARVEL_VERSION
#define QARVEL_VERSION "0"
#endif

namespace {

using namespace qarvel::exam;

const char* kUsage = "用法：qarvel-check [文件]\n"
                     "Usage: qarvel-check [FILE]\n"
                     "\n"
                     "按考试窗口的方式读入原文（默认为工作目录下的 vexo/2.txt），列出编码、\n"
                     "总字数、其中字符数、汉字数、行数、会显示为“?”的字符和警告。\n"
                     "Loads the source text as the exam window will (default vexo/2.txt in\n"
                     "the working directory) and reports its encoding, counts, lines, the\n"
                     "characters that will show as \"?\", and warnings.\n"
                     "\n"
                     "退出状态 / Exit status: 0 可以使用 fine, 1 有警告 warnings, 2 无法读取 "
                     "cannot be read\n"
                     "\n"
                     "  -h, --help       显示本帮助 / show this help\n"
                     "  -v, --version    显示版本 / show the version\n";

// Text from a file or from the command line, safe for a terminal: control
// characters are shown as their pictures (␍, ␊, ␛) or "�", never sent.
std::string Printable(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x20) {
            AppendUtf8(out, 0x2400 + b);
        } else if (b == 0x7F) {
            out += "␡";
        } else if (b == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            out += "�"; // U+0080 to U+009F, or a broken sequence
            ++i;
        } else {
            out.push_back(static_cast<char>(b));
        }
    }
    return out;
}

// The encoding a file was probably written in; `full` adds what it is for.
std::string LikelyName(LikelyEncoding likely, bool full = false) {
    switch (likely) {
    case LikelyEncoding::Latin1:
        return full ? "Latin-1（西欧文字：ISO-8859-1 或 Windows-1252）" : "Latin-1";
    case LikelyEncoding::Big5:
        return full ? "Big5（繁体中文）" : "Big5";
    case LikelyEncoding::Utf16LeNoMark:
        return "不带 BOM 的 UTF-16（小端）";
    case LikelyEncoding::Utf16BeNoMark:
        return "不带 BOM 的 UTF-16（大端）";
    case LikelyEncoding::None:
        break;
    }
    return "别的编码";
}

const char* EncodingName(SourceEncoding encoding) {
    switch (encoding) {
    case SourceEncoding::Gbk:
        return "GBK";
    case SourceEncoding::Utf8:
        return "UTF-8";
    case SourceEncoding::Utf8Bom:
        return "UTF-8（带 BOM）";
    case SourceEncoding::Utf16Le:
        return "UTF-16（小端，带 BOM）";
    case SourceEncoding::Utf16Be:
        return "UTF-16（大端，带 BOM）";
    case SourceEncoding::Utf32Le:
        return "UTF-32（小端，带 BOM）";
    case SourceEncoding::Utf32Be:
        return "UTF-32（大端，带 BOM）";
    }
    return "?";
}

// U+XXXX of one UTF-8 character.
std::string CodePoint(std::string_view utf8) {
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned>(static_cast<unsigned char>(utf8[i]));
    };
    unsigned cp = byte(0);
    if (utf8.size() == 2) {
        cp = (cp & 0x1F) << 6 | (byte(1) & 0x3F);
    } else if (utf8.size() == 3) {
        cp = (cp & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    } else if (utf8.size() == 4) {
        cp = (cp & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
    }
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", cp);
    return text;
}

void More(std::size_t listed, std::size_t all) {
    if (all > listed) {
        std::printf("  ……另有 %zu 处\n", all - listed);
    }
}

void ListLost(const SourceReport& report) {
    for (const LostCharacter& c : report.lost) {
        std::printf("  第 %d 行：%s（%s）\n", c.line, Printable(c.text).c_str(),
                    CodePoint(c.text).c_str());
    }
    More(report.lost.size(), report.lostCount);
}

void ListUndecodable(const SourceReport& report) {
    for (const UndecodableBytes& u : report.undecodable) {
        if (u.meant.empty()) {
            std::printf("  第 %d 行：字节 %s\n", u.line, u.hex.c_str());
        } else {
            std::printf("  第 %d 行：“%s”（按 %s 读，字节 %s）\n", u.line,
                        Printable(u.meant).c_str(), LikelyName(report.likely).c_str(),
                        u.hex.c_str());
        }
    }
    More(report.undecodable.size(), report.undecodableCount);
}

void Warn(SourceWarning warning, const SourceReport& report) {
    switch (warning) {
    case SourceWarning::LostCharacters:
        std::printf(
            "警告：有 %zu 个字符不在 GBK 字符集中，考试窗口会把它们显示为“?”，考生无法照打；"
            "请换成常用字符。\n",
            report.lostCount);
        break;
    case SourceWarning::Undecodable:
        std::printf("警告：有 %zu 处字节不是 GBK 字符，会显示为“�”。%s\n", report.undecodableCount,
                    report.likely == LikelyEncoding::None
                        ? "文件可能是别的编码，请用文本编辑器另存为 GBK 或 UTF-8。"
                        : "");
        break;
    case SourceWarning::OtherEncoding:
        if (report.likely == LikelyEncoding::Utf16LeNoMark ||
            report.likely == LikelyEncoding::Utf16BeNoMark) {
            std::printf("警告：文件看来是%s，考试窗口会按 GBK 读入，读到第一个空字节就停了；"
                        "请另存为带 BOM 的 UTF-16 或 UTF-8。\n",
                        LikelyName(report.likely).c_str());
        } else {
            const std::string name = LikelyName(report.likely);
            std::printf("警告：文件看来是 %s 编码，考试窗口却按 GBK 读入，考生看到的将是别的字；"
                        "请用文本编辑器按 %s 打开，再另存为 UTF-8 或 GBK。\n",
                        name.c_str(), name.c_str());
        }
        break;
    case SourceWarning::LatinUtf8AsGbk:
        std::printf("警告：文件是不含汉字的 UTF-8（有 é 之类的西文字母），会按 GBK 读入，这些字母"
                    "将变成别的汉字；请另存为带 BOM 的 UTF-8。\n");
        break;
    case SourceWarning::Binary:
        std::printf("警告：这像是 Word 文档或其他二进制文件，不是纯文本；请在 Word 中“另存为”纯文本"
                    "（.txt）或 RTF。\n");
        break;
    case SourceWarning::BrokenRichText:
        std::printf("警告：文件以 RTF 开头，却无法按 RTF 读出，考试窗口会把 RTF 代码当作原文显示；"
                    "请重新保存。\n");
        break;
    case SourceWarning::Empty:
        std::printf("警告：原文是空的，没有可录入的字。\n");
        break;
    case SourceWarning::NoHanzi:
        std::printf("警告：原文中没有汉字（汉字数为 0），考生按下第一个键考试就结束了。\n");
        break;
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string path = kSourcePath;
    bool pathGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "-v" || arg == "--version") {
            std::puts("qarvel-check " QARVEL_VERSION);
            return 0;
        }
        if ((arg.starts_with('-') && arg != "-" && arg != "--") || pathGiven) {
            std::fprintf(stderr, "qarvel-check: %s “%s” (%s); 用法见 qarvel-check --help\n",
                         pathGiven ? "多余的参数" : "未知选项", argv[i],
                         pathGiven ? "unexpected argument" : "unknown option");
            return 2;
        }
        if (arg == "--") {
            if (i + 1 < argc) {
                path = argv[++i];
                pathGiven = true;
            }
            continue;
        }
        path = argv[i];
        pathGiven = true;
    }

    SourceReport report;
    try {
        report = CheckSourceFile(path);
    } catch (const ExamError& e) {
        std::fprintf(stderr, "qarvel-check: 无法读取原文：%s\n", Printable(e.what()).c_str());
        return 2;
    }

    std::printf("原文：%s\n", Printable(path).c_str());
    std::printf("编码：%s%s", EncodingName(report.encoding), report.richText ? "，RTF 格式" : "");
    if (report.likely != LikelyEncoding::None) {
        std::printf("（考试窗口按此读入；文件看来是 %s）", LikelyName(report.likely, true).c_str());
    }
    std::printf("\n");
    std::printf("总字数：%d  其中字符数：%d  汉字数：%d\n", report.counts.total,
                report.counts.ascii, report.counts.hanzi);
    std::printf("行数：%d\n", report.lines);
    std::printf("会显示为“?”的字符：%zu 个\n", report.lostCount);
    ListLost(report);
    if (report.undecodableCount > 0) {
        std::printf("会显示为“�”的字节：%zu 处\n", report.undecodableCount);
        ListUndecodable(report);
    }
    for (const SourceWarning warning : report.warnings) {
        Warn(warning, report);
    }
    if (report.warnings.empty()) {
        std::printf("结论：可以用于考试。\n");
        return 0;
    }
    std::printf("结论：有 %zu 条警告，请先处理。\n", report.warnings.size());
    return 1;
}
