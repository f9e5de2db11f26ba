#include "SvgChart.h"

#include <algorithm>
#include <cmath>

namespace qarvel::results::svg {
namespace {

// A coordinate: one decimal, no trailing zeros.
QString N(double v) {
    QString text = QString::number(std::round(v * 10) / 10, 'f', 1);
    if (text.endsWith(QLatin1String(".0"))) {
        text.chop(2);
    }
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

// A tick's label: whole numbers without decimals.
QString Label(double v) {
    return std::abs(v - std::round(v)) < 1e-9 ? QString::number(std::llround(v))
                                              : QString::number(v, 'g', 4);
}

QString Open(int width, int height, const QString& label) {
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %1 %2\" "
                          "width=\"%1\" height=\"%2\" role=\"img\" aria-label=\"%3\">")
        .arg(width)
        .arg(height)
        .arg(Escape(label));
}

QString Text(double x, double y, const QString& text, const char* anchor = "middle",
             const char* cls = "axis") {
    return QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"%3\" class=\"%4\">%5</text>")
        .arg(N(x), N(y), QLatin1String(anchor), QLatin1String(cls), Escape(text));
}

QString Line(double x1, double y1, double x2, double y2, const char* cls) {
    return QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\" class=\"%5\"/>")
        .arg(N(x1), N(y1), N(x2), N(y2), QLatin1String(cls));
}

// The plotting area of a chart.
struct Frame {
    double left, top, width, height;
    [[nodiscard]] double bottom() const { return top + height; }
    [[nodiscard]] double right() const { return left + width; }
};

// Horizontal grid lines with their labels on the left, for 0..ticks.back().
QString YAxis(const Frame& f, const std::vector<double>& ticks) {
    QString out;
    const double top = ticks.back();
    for (const double t : ticks) {
        const double y = f.bottom() - f.height * t / top;
        out += Line(f.left, y, f.right(), y, "grid");
        out += Text(f.left - 4, y + 3.5, Label(t), "end");
    }
    return out;
}

} // namespace

QString Escape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        switch (ch.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&#39;");
            break;
        default:
            if ((ch.unicode() < 0x20 && ch != QLatin1Char('\t') && ch != QLatin1Char('\n')) ||
                (ch.unicode() >= 0x7F && ch.unicode() < 0xA0) || ch.unicode() == 0xFFFE ||
                ch.unicode() == 0xFFFF) {
                out += QChar(0xFFFD);
            } else {
                out += ch;
            }
        }
    }
    return out;
}

std::vector<double> Ticks(double max, int wanted) {
    if (!(max > 0) || !std::isfinite(max)) {
        max = 1;
    }
    wanted = std::max(wanted, 1);
    const double rough = max / wanted;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * power;
        if (step >= rough) {
            break;
        }
    }
    std::vector<double> ticks;
    for (int i = 0;; ++i) {
        const double t = step * i;
        ticks.push_back(t);
        if (t >= max - step * 1e-9) {
            break;
        }
    }
    if (ticks.size() < 2) {
        ticks.push_back(step);
    }
    return ticks;
}

std::vector<int> ScoreBins(const std::vector<int>& scores) {
    std::vector<int> bins(10, 0);
    for (const int s : scores) {
        ++bins[std::size_t(std::clamp(s / 10, 0, 9))];
    }
    return bins;
}

QString Histogram(const std::vector<int>& scores) {
    const int width = 520;
    const int height = 240;
    const Frame f{44, 14, 460, 186};
    const std::vector<int> bins = ScoreBins(scores);
    const int most = *std::max_element(bins.begin(), bins.end());
    // Counts of people: whole steps.
    const std::vector<double> ticks = Ticks(std::max(most, 1), std::clamp(most, 1, 5));
    QString out = Open(width, height, QStringLiteral("得分分布"));
    out += YAxis(f, ticks);
    const double slot = f.width / 10;
    for (std::size_t i = 0; i < bins.size(); ++i) {
        const double x = f.left + slot * double(i);
        const double h = f.height * bins[i] / ticks.back();
        const QString range =
            i == 9 ? QStringLiteral("90–100") : QStringLiteral("%1–%2").arg(i * 10).arg(i * 10 + 9);
        if (bins[i] > 0) {
            out += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" "
                                  "class=\"bar\"><title>%5分：%6人</title></rect>")
                       .arg(N(x + 3), N(f.bottom() - h), N(slot - 6), N(h), range)
                       .arg(bins[i]);
            out +=
                Text(x + slot / 2, f.bottom() - h - 3, QString::number(bins[i]), "middle", "value");
        }
        out += Text(x + slot / 2, f.bottom() + 14, range);
    }
    out += Line(f.left, f.bottom(), f.right(), f.bottom(), "axisline");
    out += Text(f.left + f.width / 2, height - 4, QStringLiteral("得分"));
    return out + QLatin1String("</svg>");
}

QString Scatter(const std::vector<ScatterPoint>& points) {
    const int width = 520;
    const int height = 300;
    const Frame f{44, 14, 456, 246};
    double fastest = 1;
    for (const ScatterPoint& p : points) {
        fastest = std::max(fastest, p.speed);
    }
    const std::vector<double> ticks = Ticks(fastest, 5);
    QString out = Open(width, height, QStringLiteral("速度与正确率"));
    out += YAxis(f, ticks);
    // Accuracy from a tenth below the least accurate (at most 90%) to 100%,
    // so that a class of good typists does not crowd into one corner.
    double least = 1;
    for (const ScatterPoint& p : points) {
        least = std::min(least, std::clamp(p.accuracy, 0.0, 1.0));
    }
    const int low = std::min(90, int(std::floor(least * 10)) * 10);
    const int step = 100 - low <= 10 ? 2 : (100 - low <= 50 ? 10 : 20);
    const auto X = [&](double accuracy) {
        return f.left + f.width * (std::clamp(accuracy, 0.0, 1.0) * 100 - low) / (100 - low);
    };
    for (int percent = low; percent <= 100; percent += step) {
        const double x = X(percent / 100.0);
        out += Line(x, f.top, x, f.bottom(), "grid");
        out += Text(x, f.bottom() + 14, QStringLiteral("%1%").arg(percent));
    }
    // Labels beside the points while they can still be read: the number on
    // the screen (the name comes when pointed at); on paper, where nothing
    // can be pointed at, the name, small.
    const bool labels = points.size() <= 30;
    const bool names = points.size() <= 60;
    for (const ScatterPoint& p : points) {
        const double x = X(p.accuracy);
        const double y =
            f.bottom() - f.height * std::clamp(p.speed, 0.0, ticks.back()) / ticks.back();
        out += QStringLiteral("<g><title>%1</title><circle cx=\"%2\" cy=\"%3\" r=\"4\" "
                              "class=\"dot\"/>")
                   .arg(Escape(p.title), N(x), N(y));
        if (labels) {
            out += Text(x + 6, y - 4, p.label, "start", "dotlabel");
        }
        if (names && !p.name.isEmpty()) {
            out += Text(x + 5, y - 3, p.name, "start", "dotname");
        }
        out += QLatin1String("</g>");
    }
    if (points.empty()) {
        out += Text(f.left + f.width / 2, f.top + f.height / 2,
                    QStringLiteral("没有速度和正确率可画"), "middle", "value");
    }
    out += Text(f.left + f.width / 2, height - 4, QStringLiteral("正确率"));
    out += QStringLiteral("<text x=\"12\" y=\"%1\" text-anchor=\"middle\" class=\"axis\" "
                          "transform=\"rotate(-90 12 %1)\">速度（字/分）</text>")
               .arg(N(f.top + f.height / 2));
    return out + QLatin1String("</svg>");
}

std::vector<CurvePoint> Thin(const std::vector<CurvePoint>& curve, std::int64_t endMs, int width) {
    if (endMs <= 0 || width <= 0 || curve.size() <= std::size_t(width) * 2) {
        return curve;
    }
    std::vector<CurvePoint> out;
    std::size_t i = 0;
    while (i < curve.size()) {
        const std::int64_t column = curve[i].ms * width / endMs;
        CurvePoint lowest = curve[i];
        CurvePoint last = curve[i];
        for (; i < curve.size() && curve[i].ms * width / endMs == column; ++i) {
            if (curve[i].characters < lowest.characters) {
                lowest = curve[i];
            }
            last = curve[i];
        }
        if (lowest.ms != last.ms) {
            out.push_back(lowest);
        }
        out.push_back(last);
    }
    return out;
}

QString Curve(const std::vector<CurvePoint>& curve, const std::vector<PauseSpan>& pauses,
              std::int64_t endMs, std::int64_t maxCharacters) {
    const int width = 300;
    const int height = 130;
    const Frame f{34, 8, 256, 100};
    endMs = std::max<std::int64_t>(endMs, 60'000);
    const std::int64_t most = std::max<std::int64_t>(maxCharacters, 1);
    const std::vector<double> yTicks = Ticks(double(most), int(std::min<std::int64_t>(most, 3)));
    const std::vector<double> xTicks = Ticks(double(endMs) / 60000.0, 5);
    const double xTop = xTicks.back() * 60000.0;
    const auto X = [&](std::int64_t ms) { return f.left + f.width * double(ms) / xTop; };
    const auto Y = [&](std::int64_t n) {
        return f.bottom() - f.height * std::min(double(n), yTicks.back()) / yTicks.back();
    };
    QString out = Open(width, height, QStringLiteral("打字曲线"));
    // Pauses within a pixel of each other are one band: at most one a pixel,
    // however many the log holds.
    std::vector<PauseSpan> bands;
    std::vector<std::int64_t> pausedMs;
    for (const PauseSpan& p : pauses) {
        if (!bands.empty() && X(p.from) - X(bands.back().to) < 1.0) {
            bands.back().to = std::max(bands.back().to, p.to);
            pausedMs.back() += p.to - p.from;
        } else {
            bands.push_back(p);
            pausedMs.push_back(p.to - p.from);
        }
    }
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const PauseSpan& p = bands[i];
        out += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" class=\"pause\">"
                              "<title>暂停 %5 秒</title></rect>")
                   .arg(N(X(p.from)), N(f.top), N(std::max(1.0, X(p.to) - X(p.from))), N(f.height))
                   .arg((pausedMs[i] + 500) / 1000);
    }
    out += YAxis(f, yTicks);
    for (const double t : xTicks) {
        const double x = f.left + f.width * t * 60000.0 / xTop;
        out += Text(x, f.bottom() + 12, Label(t));
    }
    // A step line: the count holds until the next change.
    QString path;
    double y = Y(0);
    path += QStringLiteral("M%1 %2").arg(N(f.left), N(y));
    for (const CurvePoint& p : Thin(curve, std::int64_t(xTop), int(f.width))) {
        const double x = X(p.ms);
        path += QStringLiteral("H%1V%2").arg(N(x), N(Y(p.characters)));
    }
    out += QStringLiteral("<path d=\"%1\" class=\"curve\"/>").arg(path);
    if (curve.empty()) {
        out += Text(f.left + f.width / 2, f.top + f.height / 2, QStringLiteral("没有输入记录"),
                    "middle", "value");
    }
    out += Line(f.left, f.bottom(), f.right(), f.bottom(), "axisline");
    return out + QLatin1String("</svg>");
}

} // namespace qarvel::results::svg
