// Makes a results folder for timing qarvel-results (bench/results_attacks.sh):
// a source text, 60 genuine 30-minute records typed at some 100 characters a
// minute, and, with --attacks, the records a hostile examinee can leave in a
// drop box: a big append then many small edits, millions of pauses and
// continues, a source path naming /dev/zero or a FIFO, links to /dev/zero and
// /dev/stdin, a name holding U+FFFE, a record that is not JSON.
// A day claimed as the duration, with a big append and edits within what a
// day could hold, is among the attacks too.
//   results_folder DIR [--attacks]
#include "exam/ExamRecorder.h"
#include "exam/ExamReplay.h"
#include "exam/Gbk.h"
#include "results/Record.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace qarvel;

std::string MakeSource() {
    std::mt19937 random(5);
    std::string gbk;
    for (int i = 0; i < 3600; ++i) {
        gbk += char(0xB0 + random() % 0x27); // common characters, GB2312 level 1
        gbk += char(0xA1 + random() % 0x5E);
        if (i % 60 == 59) {
            gbk += "\r\n";
        }
    }
    return gbk;
}

QString Clock(std::int64_t seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// A record's frame: who, when, on which source; no figures.
results::Record Frame(results::Record r, const std::string& source, const QString& path) {
    const QByteArray bytes(source.data(), qsizetype(source.size()));
    r.sourcePath = path;
    r.sourceSha256 =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    r.duration = QStringLiteral("00:30:00");
    r.start = results::NowWithOffset().addSecs(-1900);
    r.updated = r.start.addMSecs(r.loggedAt);
    r.hasLog = true;
    return r;
}

// A record as the exam window writes it, its figures from the replay.
results::Record Finish(results::Record r, const std::string& source, const QString& path) {
    r = Frame(r, source, path);
    const exam::ReplayResult replay = exam::ReplayExam(source, "00:30:00", r.log, r.loggedAt);
    r.answer = QString::fromStdString(exam::GbkToUtf8(replay.answer));
    r.answer.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    r.correctAscii = replay.correctAscii;
    r.correctHanzi = replay.correctHanzi;
    r.sourceAscii = replay.sourceAscii;
    r.sourceHanzi = replay.sourceHanzi;
    r.sourceTotal = replay.sourceTotal;
    r.score = int(replay.score);
    r.changes = replay.changes;
    r.pauses = replay.pauses;
    r.pauseSeconds = replay.pausedMs / 1000;
    r.elapsed = Clock(replay.elapsedSeconds);
    r.remaining = Clock(replay.remainingSeconds);
    r.state = QString::fromLatin1(replay.complete ? results::kComplete : results::kClosed);
    return r;
}

// 100 characters a minute for 30 minutes; one character in twenty wrong and taken back.
results::Record Genuine(const std::string& source, int seed) {
    std::int64_t now = 0;
    exam::ExamRecorder recorder([&] { return now; });
    recorder.Start();
    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    std::string answer;
    now = 5000;
    while (now < 30 * 60 * 1000 && answer.size() + 2 <= source.size()) {
        now += 400 + static_cast<std::int64_t>(random() % 400);
        const std::size_t width =
            exam::IsLeadByte(static_cast<unsigned char>(source[answer.size()])) ? 2 : 1;
        if (random() % 20 == 0) {
            recorder.Change(answer + "\xB4\xED"); // 错
            now += 300;
        }
        answer += source.substr(answer.size(), width);
        recorder.Change(answer);
    }
    results::Record r;
    r.log = recorder.log();
    r.log.keyPresses = std::int64_t(r.log.events.size()) * 4;
    r.loggedAt = now + 1000;
    r.number = QString::number(20240000 + seed);
    r.name = QStringLiteral("考生%1").arg(seed);
    r.host = QStringLiteral("pc%1").arg(seed);
    return r;
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: results_folder DIR [--attacks]\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(dir.path());
    const bool attacks = argc > 2 && QByteArray(argv[2]) == "--attacks";
    const std::string source = MakeSource();
    const QString sourcePath = dir.absoluteFilePath(QStringLiteral("../source.txt"));
    Write(sourcePath, QByteArray(source.data(), qsizetype(source.size())));
    for (int i = 1; i <= 60; ++i) {
        const results::Record r = Finish(Genuine(source, i), source, sourcePath);
        Write(dir.filePath(results::RecordFileName(r, results::RandomNameTag())),
              results::ToJson(r));
    }
    if (!attacks) {
        return 0;
    }
    const auto hostile = [&](const QString& name, results::Record r) {
        Write(dir.filePath(name), results::ToJson(r));
    };
    // A big append, then many small edits at its end.
    {
        results::Record r = Genuine(source, 100);
        r.log.events.clear();
        std::string big;
        for (int i = 0; i < 800'000; ++i) {
            big += "\xB0\xA1";
        }
        r.log.events.push_back({1000, exam::ExamEvent::Kind::Append, big, 0});
        for (int i = 0; i < 40'000; ++i) {
            r.log.events.push_back({2000 + i * 40, exam::ExamEvent::Kind::Remove, {}, 2});
            r.log.events.push_back({2020 + i * 40, exam::ExamEvent::Kind::Append, "\xB0\xA1", 0});
        }
        r.loggedAt = 1'700'000;
        r.number = QStringLiteral("90000001");
        hostile(QStringLiteral("edits.json"), Frame(r, source, sourcePath));
    }
    // A day claimed as the duration: 450,000 characters at once, then 20,000
    // small edits spread over 21 hours, within what a day's exam could hold.
    {
        results::Record r = Genuine(source, 103);
        r.log.events.clear();
        std::string big;
        for (int i = 0; i < 450'000; ++i) {
            big += "\xB0\xA1";
        }
        r.log.events.push_back({1000, exam::ExamEvent::Kind::Append, big, 0});
        const std::int64_t step = 21LL * 3600 * 1000 / 20'000;
        for (int i = 0; i < 20'000; ++i) {
            r.log.events.push_back({2000 + i * step, exam::ExamEvent::Kind::Remove, {}, 2});
            r.log.events.push_back({2001 + i * step, exam::ExamEvent::Kind::Append, "\xB0\xA1", 0});
        }
        r.loggedAt = 22LL * 3600 * 1000;
        r.number = QStringLiteral("90000006");
        r = Frame(r, source, sourcePath);
        r.duration = QStringLiteral("23:59:59");
        hostile(QStringLiteral("day.json"), r);
    }
    // 3.75 million pauses and continues.
    {
        results::Record r = Genuine(source, 101);
        r.log.events.clear();
        for (int i = 0; i < 1'875'000; ++i) {
            r.log.events.push_back({i * 2, exam::ExamEvent::Kind::Pause, {}, 0});
            r.log.events.push_back({i * 2 + 1, exam::ExamEvent::Kind::Continue, {}, 0});
        }
        r.loggedAt = 3'750'000;
        r.number = QStringLiteral("90000002");
        hostile(QStringLiteral("pauses.json"), Frame(r, source, sourcePath));
    }
    // Source paths that never end or never answer, and a name no XML holds.
    {
        results::Record r = Genuine(source, 102);
        r.number = QStringLiteral("90000003");
        r = Finish(r, source, QStringLiteral("/dev/zero"));
        hostile(QStringLiteral("zero.json"), r);
        const QString fifo = dir.absoluteFilePath(QStringLiteral("../fifo"));
        ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
        r.sourcePath = fifo;
        r.number = QStringLiteral("90000004");
        r.name = QStringLiteral("李\uFFFE雷");
        hostile(QStringLiteral("fifo.json"), r);
    }
    ::symlink("/dev/zero", QFile::encodeName(dir.filePath(QStringLiteral("x.json"))).constData());
    ::symlink("/dev/stdin", QFile::encodeName(dir.filePath(QStringLiteral("y.json"))).constData());
    Write(dir.filePath(QStringLiteral("b.json")), "{\n");
    return 0;
}
