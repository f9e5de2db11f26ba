// The program's command line, read before any window exists.
#include "app/CommandLine.h"

#include <QtTest>

using qarvel::app::CommandLine;
using Action = CommandLine::Action;

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void Parses_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("source"); // for Run; for Fail a part of the message
        QTest::addColumn<QString>("results");

        const auto row = [](const char* name, QStringList args, Action action, QString source,
                            QString results = {}) {
            args.prepend(QStringLiteral("qarvel"));
            QTest::newRow(name) << args << static_cast<int>(action) << source << results;
        };
        row("nothing", {}, Action::Run, "vexo/2.txt");
        row("--source FILE", {"--source", "a/b.txt"}, Action::Run, "a/b.txt");
        row("--source=FILE", {"--source=/x/c.rtf"}, Action::Run, "/x/c.rtf");
        row("Chinese file name", {"--source", "原文.txt"}, Action::Run, "原文.txt");
        row("Qt's options pass", {"-platform", "offscreen", "-style=fusion", "-reverse"},
            Action::Run, "vexo/2.txt");
        row("last --source wins", {"--source", "a", "--source", "b"}, Action::Run, "b");
        row("--help", {"--help"}, Action::Help, "");
        row("-h beside --source", {"--source", "a", "-h"}, Action::Help, "");
        row("--version", {"--version"}, Action::Version, "");
        row("-v", {"-v"}, Action::Version, "");
        row("--results DIR", {"--results", "/srv/成绩"}, Action::Run, "vexo/2.txt", "/srv/成绩");
        row("--results=DIR", {"--source", "a", "--results=r"}, Action::Run, "a", "r");
        row("--results without a folder", {"--results"}, Action::Fail, "--results");
        row("--results empty", {"--results="}, Action::Fail, "--results");
        row("unknown long", {"--result", "x"}, Action::Fail, "--result");
        row("unknown short", {"-x"}, Action::Fail, "-x");
        row("unknown beside --help", {"--help", "--bogus"}, Action::Fail, "--bogus");
        row("stray argument", {"vexo/3.txt"}, Action::Fail, "vexo/3.txt");
        row("--source without a file", {"--source"}, Action::Fail, "--source");
        row("--source empty", {"--source", ""}, Action::Fail, "--source");
    }
    void Parses() {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(QString, source);
        QFETCH(QString, results);
        const CommandLine line = qarvel::app::ParseCommandLine(arguments);
        QCOMPARE(static_cast<int>(line.action), action);
        switch (line.action) {
        case Action::Run:
            QCOMPARE(QString::fromUtf8(line.sourcePath.c_str()), source);
            QCOMPARE(line.sourceGiven,
                     arguments.join(QChar(u' ')).contains(QStringLiteral("--source")));
            QCOMPARE(line.resultsFolder, results);
            QCOMPARE(line.exitStatus(), 0);
            break;
        case Action::Fail:
            // One line naming the culprit, status 2.
            QVERIFY2(line.output.contains(source), qPrintable(line.output));
            QCOMPARE(line.output.count(QLatin1Char('\n')), 1);
            QVERIFY(line.output.endsWith(QLatin1Char('\n')));
            QCOMPARE(line.exitStatus(), 2);
            break;
        case Action::Help:
        case Action::Version:
            QVERIFY(!line.output.isEmpty());
            QCOMPARE(line.exitStatus(), 0);
            break;
        }
    }

    // Every option is listed with a Chinese line and an English line.
    void HelpNamesEachOptionTwice() {
        const QString help = qarvel::app::HelpText();
        QVERIFY(help.contains(QStringLiteral("用法")) && help.contains(QStringLiteral("Usage")));
        for (const char* english : {"read the source text from FILE", "show this help",
                                    "show the version", "write a record of the exam into DIR"}) {
            QVERIFY2(help.contains(QLatin1String(english)), english);
        }
        for (const char* chinese : {"读取原文", "显示本帮助", "显示版本", "成绩记录"}) {
            QVERIFY2(help.contains(QString::fromUtf8(chinese)), chinese);
        }
        QVERIFY(qarvel::app::VersionText().startsWith(QStringLiteral("qarvel 1.")));
    }

    // --source opens the file system's own bytes, whatever their encoding: a
    // name in GBK (from an archive made on Windows), Latin-1, or broken UTF-8.
    void SourceNamesKeepTheirBytes_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("GBK") << QByteArray("\xc4\xe3\xba\xc3.txt");
        QTest::newRow("UTF-8") << QByteArray("\xe4\xbd\xa0\xe5\xa5\xbd/2.txt");
        QTest::newRow("Latin-1") << QByteArray("caf\xe9");
        QTest::newRow("cut short") << QByteArray("a\xe4\xbd");
        QTest::newRow("overlong") << QByteArray("\xc0\xaf");
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80");
        QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80\xf5");
        QTest::newRow("escape-like") << QByteArray("\xed\xb2\x80\xc4");
    }
    void SourceNamesKeepTheirBytes() {
        QFETCH(QByteArray, name);
        for (const bool joined : {false, true}) {
            QByteArray program("qarvel"), option("--source"), value = name;
            if (joined) {
                option += "=" + name;
            }
            char* argv[] = {program.data(), option.data(), value.data()};
            const CommandLine line =
                qarvel::app::ParseCommandLine(qarvel::app::ArgumentsOf(joined ? 2 : 3, argv));
            QCOMPARE(static_cast<int>(line.action), static_cast<int>(Action::Run));
            QCOMPARE(QByteArray::fromStdString(line.sourcePath), name);
        }
    }

    void AnyBytesRoundTrip() {
        QRandomGenerator random(17);
        for (int i = 0; i < 5000; ++i) {
            std::string bytes(static_cast<std::size_t>(random.bounded(12)), '\0');
            for (char& b : bytes) {
                // Mostly high bytes, where UTF-8 and its look-alikes live.
                b = static_cast<char>(random.bounded(4) == 0 ? 1 + random.bounded(127)
                                                             : 128 + random.bounded(128));
            }
            const QString text = qarvel::app::ArgumentText(bytes);
            QCOMPARE(qarvel::app::ArgumentBytes(text), bytes);
            if (QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).toUtf8() ==
                QByteArray::fromStdString(bytes)) {
                QCOMPARE(text,
                         QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())));
            }
        }
    }
};

QTEST_APPLESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
