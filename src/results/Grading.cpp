#include "Grading.h"

#include "exam/Gbk.h"
#include "identity/Identity.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace qarvel::results {
namespace {

// A speed as the report shows it, in tenths; slower than any when none.
qint64 ShownSpeed(const std::optional<double>& speed) {
    return speed ? qint64(std::llround(*speed * 10)) : -1;
}

// -1, 0 or 1: whether `a` is better than, equal to or worse than `b`.
int Better(int scoreA, const std::optional<double>& a, int scoreB, const std::optional<double>& b) {
    if (scoreA != scoreB) {
        return scoreA > scoreB ? -1 : 1;
    }
    const qint64 sa = ShownSpeed(a);
    const qint64 sb = ShownSpeed(b);
    return sa == sb ? 0 : (sa > sb ? -1 : 1);
}

// The fields of a CSV line: split by a comma, tab or semicolon outside quotes.
QStringList Fields(const QString& line) {
    QStringList fields(1);
    bool quoted = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && (c == QLatin1Char(',') || c == QLatin1Char('\t') ||
                               c == QLatin1Char(';') || c == QChar(0xFF0C))) {
            fields.append(QString());
            continue;
        }
        fields.back() += c;
    }
    return fields;
}

QString Unquoted(QString field) {
    field = field.trimmed();
    if (field.size() >= 2 && field.front() == QLatin1Char('"') &&
        field.back() == QLatin1Char('"')) {
        field =
            field.mid(1, field.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    }
    return identity::NormalizedIdentity(field);
}

} // namespace

std::optional<RetakeRule> ParseRetakeRule(const QString& word) {
    if (word == QLatin1String("best")) {
        return RetakeRule::Best;
    }
    if (word == QLatin1String("last")) {
        return RetakeRule::Last;
    }
    return std::nullopt;
}

std::optional<Counting> ParseCounting(const QString& words) {
    Counting counting;
    for (const QString& word : words.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString w = word.trimmed();
        if (w == QLatin1String("all")) {
            counting = {true, true, true};
        } else if (w == QLatin1String("abandoned")) {
            counting.abandoned = true;
        } else if (w == QLatin1String("lost")) {
            counting.lost = true;
        } else if (w == QLatin1String("unverified")) {
            counting.unverified = true;
        } else {
            return std::nullopt;
        }
    }
    return counting;
}

std::optional<bool> Passes(const PassRule& rule, int score, const std::optional<double>& speed) {
    if (!rule.any()) {
        return std::nullopt;
    }
    bool pass = true;
    if (rule.score) {
        pass = pass && score >= *rule.score;
    }
    if (rule.speed) {
        // Judged on the speed as shown: 29.96 shows as 30.0 and passes 30.
        pass = pass && ShownSpeed(speed) >= qint64(std::llround(*rule.speed * 10));
    }
    return pass;
}

std::vector<bool> ChooseAttempts(const std::vector<Attempt>& attempts, RetakeRule rule) {
    std::map<QString, std::size_t> chosen;
    for (std::size_t i = 0; i < attempts.size(); ++i) {
        const Attempt& a = attempts[i];
        const auto [at, fresh] = chosen.try_emplace(a.numberKey, i);
        if (fresh) {
            continue;
        }
        const Attempt& held = attempts[at->second];
        bool takes = false;
        if (rule == RetakeRule::Best) {
            const int c = Better(a.score, a.speed, held.score, held.speed);
            takes = c < 0 || (c == 0 && a.start >= held.start);
        } else {
            takes = a.start >= held.start;
        }
        if (takes) {
            at->second = i;
        }
    }
    std::vector<bool> stands(attempts.size(), false);
    for (const auto& [key, index] : chosen) {
        stands[index] = true;
    }
    return stands;
}

std::vector<int> Ranks(const std::vector<std::pair<int, std::optional<double>>>& results) {
    std::vector<std::size_t> order(results.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    const auto compare = [&results](std::size_t a, std::size_t b) {
        return Better(results[a].first, results[a].second, results[b].first, results[b].second);
    };
    std::stable_sort(order.begin(), order.end(),
                     [&compare](std::size_t a, std::size_t b) { return compare(a, b) < 0; });
    std::vector<int> ranks(results.size(), 0);
    for (std::size_t k = 0; k < order.size(); ++k) {
        ranks[order[k]] =
            k > 0 && compare(order[k], order[k - 1]) == 0 ? ranks[order[k - 1]] : int(k) + 1;
    }
    return ranks;
}

Roster ParseRoster(const QByteArray& bytes) {
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF")) {
        data.remove(0, 3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(data);
    if (utf8.hasError()) {
        text = QString::fromStdString(exam::GbkToUtf8(data.toStdString()));
    }
    Roster roster;
    std::set<QString> seen;
    bool first = true;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty()) {
            continue;
        }
        const QStringList fields = Fields(line);
        const QString number = Unquoted(fields.value(0));
        const QString name = Unquoted(fields.value(1));
        const bool heading =
            first && (number.contains(QStringLiteral("学号")) ||
                      number.compare(QLatin1String("number"), Qt::CaseInsensitive) == 0 ||
                      number.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0);
        first = false;
        if (heading || number.isEmpty() || !seen.insert(identity::NumberKey(number)).second) {
            continue;
        }
        roster.entries.push_back({number, name});
    }
    return roster;
}

std::optional<Roster> ReadRoster(const QString& path, QString& error) {
    const QFileInfo info(path);
    if (!info.exists()) {
        error = QStringLiteral("找不到名单 %1").arg(path);
        return std::nullopt;
    }
    if (!info.isFile()) {
        error = QStringLiteral("名单 %1 不是普通文件").arg(path);
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("无法读取名单 %1：%2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kRosterBytes + 1);
    if (bytes.size() > kRosterBytes) {
        error = QStringLiteral("名单 %1 太大（超过 1 MB），不像一份名单").arg(path);
        return std::nullopt;
    }
    Roster roster = ParseRoster(bytes);
    if (roster.entries.empty()) {
        error = QStringLiteral("名单 %1 里没有学号（每行：学号,姓名）").arg(path);
        return std::nullopt;
    }
    return roster;
}

} // namespace qarvel::results
