#include "CommandLine.h"

#include "exam/SourceFile.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>

#ifndef QARVEL_VERSION
#define QARVEL_VERSION "0"
#endif

namespace qarvel::app {
namespace {

// Qt's own options that QApplication takes from the command line; they stay
// usable (-platform offscreen, -style fusion ...) and are not listed in --help.
struct QtOption {
    const char* name;
    bool hasValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowtitle", true},
    {"qwindowicon", true},     {"style", true},
    {"stylesheet", true},      {"session", true},
    {"display", true},         {"geometry", true},
    {"title", true},           {"name", true},
    {"reverse", false},        {"widgetcount", false},
    {"sync", false},           {"nograb", false},
    {"dograb", false},
};

QString Quoted(const QString& text) {
    return QStringLiteral("“") + text + QStringLiteral("”");
}

CommandLine Failure(const QString& chinese, const QString& english) {
    CommandLine line;
    line.action = CommandLine::Action::Fail;
    line.output = QStringLiteral("qarvel: %1 (%2); 用法见 qarvel --help\n").arg(chinese, english);
    return line;
}

} // namespace

QString ArgumentText(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        // The length of a well-formed UTF-8 sequence at i, 0 when there is none.
        std::size_t n = 0;
        char32_t cp = 0;
        char32_t least = 0;
        if (lead < 0x80) {
            n = 1;
            cp = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            n = 2, cp = lead & 0x1Fu, least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            n = 3, cp = lead & 0x0Fu, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            n = 4, cp = lead & 0x07u, least = 0x10000;
        }
        for (std::size_t k = 1; k < n; ++k) {
            const unsigned next =
                i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0U;
            if ((next & 0xC0u) != 0x80) {
                n = 0;
                break;
            }
            cp = (cp << 6) | (next & 0x3Fu);
        }
        if (n > 1 && (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) {
            n = 0;
        }
        if (n == 0) {
            text.append(QChar(static_cast<char16_t>(0xDC00 + lead))); // kept as it is
            ++i;
            continue;
        }
        const char32_t one[] = {cp};
        text.append(QString::fromUcs4(one, 1));
        i += n;
    }
    return text;
}

std::string ArgumentBytes(const QString& argument) {
    std::string bytes;
    for (qsizetype i = 0; i < argument.size(); ++i) {
        const char16_t u = argument[i].unicode();
        const bool paired = i > 0 && argument[i - 1].isHighSurrogate();
        if (u >= 0xDC80 && u <= 0xDCFF && !paired) {
            bytes += static_cast<char>(u - 0xDC00);
            continue;
        }
        const qsizetype n = argument[i].isHighSurrogate() && i + 1 < argument.size() &&
                                    argument[i + 1].isLowSurrogate()
                                ? 2
                                : 1;
        bytes += argument.mid(i, n).toUtf8().toStdString();
        i += n - 1;
    }
    return bytes;
}

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    // "-platform xcb" is one option, as Qt spells its own.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption source(QStringLiteral("source"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption results(QStringLiteral("results"), QString(), QStringLiteral("DIR"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(source);
    parser.addOption(results);
    for (const QtOption& qt : kQtOptions) {
        QCommandLineOption option(QString::fromLatin1(qt.name));
        if (qt.hasValue) {
            option.setValueName(QStringLiteral("VALUE"));
        }
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString name = unknown.first();
            const QString spelled =
                (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
            return Failure(QStringLiteral("未知选项 ") + Quoted(spelled),
                           QStringLiteral("unknown option ") + spelled);
        }
        // The one other mistake the parser knows: an option without its value.
        QString english = parser.errorText().trimmed();
        if (english.endsWith(QLatin1Char('.'))) {
            english.chop(1);
        }
        return Failure(QStringLiteral("选项缺少值"), english);
    }
    CommandLine line;
    if (parser.isSet(help)) {
        line.action = CommandLine::Action::Help;
        line.output = HelpText();
        return line;
    }
    if (parser.isSet(version)) {
        line.action = CommandLine::Action::Version;
        line.output = VersionText();
        return line;
    }
    if (!parser.positionalArguments().isEmpty()) {
        const QString extra = parser.positionalArguments().first();
        return Failure(QStringLiteral("多余的参数 ") + Quoted(extra),
                       QStringLiteral("unexpected argument ") + extra);
    }
    line.sourcePath = exam::kSourcePath;
    if (parser.isSet(source)) {
        const QString path = parser.value(source);
        if (path.isEmpty()) {
            return Failure(QStringLiteral("--source 需要一个文件名"),
                           QStringLiteral("--source needs a file name"));
        }
        line.sourcePath = ArgumentBytes(path); // the file system's own bytes
        line.sourceGiven = true;
    }
    if (parser.isSet(results)) {
        line.resultsFolder = parser.value(results);
        if (line.resultsFolder.isEmpty()) {
            return Failure(QStringLiteral("--results 需要一个文件夹"),
                           QStringLiteral("--results needs a folder"));
        }
    }
    return line;
}

QString HelpText() {
    return QStringLiteral(
        "用法：qarvel [选项]\n"
        "Usage: qarvel [options]\n"
        "\n"
        "汉字录入考试：考生登录后，照着原文用输入法录入，程序逐字评判并计分。\n"
        "A typing examination for Chinese text entry.\n"
        "\n"
        "选项 / Options:\n"
        "  --source 文件      从该文件读取原文，而不是工作目录下的 vexo/2.txt\n"
        "  --source FILE      read the source text from FILE instead of vexo/2.txt\n"
        "                     in the working directory\n"
        "  --results 文件夹   把每场考试的成绩记录写到该文件夹（见 qarvel-results）\n"
        "  --results DIR      write a record of the exam into DIR (see qarvel-results)\n"
        "  -h, --help         显示本帮助并退出\n"
        "                     show this help and exit\n"
        "  -v, --version      显示版本并退出\n"
        "                     show the version and exit\n"
        "\n"
        "原文可以是 GBK、UTF-8、UTF-16 纯文本或 RTF；考试前请用 qarvel-check 检查。\n"
        "The source may be GBK, UTF-8 or UTF-16 plain text, or RTF; check it with\n"
        "qarvel-check before the exam.\n");
}

QString VersionText() {
    return QStringLiteral("qarvel " QARVEL_VERSION "\n");
}

} // namespace qarvel::app
