#include "XlsxReport.h"

#include "AtomicFile.h"
#include "RecordCheck.h"
#include "TextSafety.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <xlsxwriter.h>

namespace qarvel::results {
namespace {

struct Formats {
    lxw_format* header = nullptr;
    lxw_format* text = nullptr;
    lxw_format* integer = nullptr;
    lxw_format* tenth = nullptr;
    lxw_format* percent = nullptr;
    lxw_format* hundredth = nullptr;
    lxw_format* time = nullptr;     // the clock's times, whole seconds
    lxw_format* measured = nullptr; // times from the log, shown to a tenth
    lxw_format* seconds = nullptr;
};

// Everything written through one call, so the first error is kept.
class Sheet {
public:
    Sheet(lxw_worksheet* sheet, lxw_error& error) : sheet_(sheet), error_(error) {}

    void Text(lxw_row_t row, lxw_col_t col, const QString& text, lxw_format* format) {
        // Whatever the text, the cell is one the workbook's XML and a spreadsheet can hold.
        Keep(worksheet_write_string(sheet_, row, col, ForWorkbook(text).toUtf8().constData(),
                                    format));
    }
    void Number(lxw_row_t row, lxw_col_t col, double value, lxw_format* format) {
        Keep(worksheet_write_number(sheet_, row, col, value, format));
    }

private:
    void Keep(lxw_error e) {
        if (error_ == LXW_NO_ERROR && e != LXW_NO_ERROR) {
            error_ = e;
        }
    }
    lxw_worksheet* sheet_;
    lxw_error& error_;
};

void WriteRow(Sheet& sheet, const Formats& f, lxw_row_t row, const ReportRow& r) {
    const Measures& m = r.measures;
    if (r.rank) {
        sheet.Number(row, 0, *r.rank, f.integer);
    }
    sheet.Text(row, 1, r.number, f.text);
    sheet.Text(row, 2, r.name, f.text);
    sheet.Text(row, 3, r.state, f.text);
    if (r.standing != Standing::Absent && !r.unreadable) {
        sheet.Number(row, 4, r.score, f.integer);
        if (m.speed) {
            sheet.Number(row, 5, std::round(*m.speed * 10) / 10, f.tenth);
        }
        if (m.accuracy) {
            sheet.Number(row, 6, std::round(*m.accuracy * 1000) / 1000, f.percent);
        }
        if (m.keysPerSecond) {
            sheet.Number(row, 7, std::round(*m.keysPerSecond * 100) / 100, f.hundredth);
        }
        if (m.keysPerCharacter) {
            sheet.Number(row, 8, std::round(*m.keysPerCharacter * 100) / 100, f.hundredth);
        }
        if (m.typed + m.removed > 0) {
            sheet.Number(row, 9, double(m.removed), f.integer);
        }
        // Times exact to the millisecond, as fractions of a day as spreadsheets
        // keep them, and once more in seconds: a speed worked out from the
        // cells is the speed shown.
        if (m.examMs > 0) {
            sheet.Number(row, 10, double(m.examMs) / 86'400'000.0, f.measured);
            sheet.Number(row, 11, double(m.examMs) / 1000.0, f.seconds);
        }
        if (m.completion) {
            sheet.Number(row, 12, double(*m.completion) / 86'400'000.0, f.measured);
        }
        sheet.Number(row, 13, r.correctHanzi, f.integer);
        sheet.Number(row, 14, r.correctAscii, f.integer);
        if (const auto seconds = ClockSeconds(r.elapsed)) {
            sheet.Number(row, 15, double(*seconds) / 86400.0, f.time);
        } else if (!r.elapsed.isEmpty()) {
            sheet.Text(row, 15, r.elapsed, f.text);
        }
    }
    if (r.pass) {
        sheet.Text(row, 16, *r.pass ? QStringLiteral("及格") : QStringLiteral("不及格"), f.text);
    }
    if (!r.host.isEmpty()) {
        sheet.Text(row, 17, r.host, f.text);
    }
    if (const QString note = NoteText(r); !note.isEmpty()) {
        sheet.Text(row, 18, note, f.text);
    }
    if (const auto ms = DurationMs(r.duration)) {
        sheet.Number(row, 19, double(*ms / 1000) / 86400.0, f.time);
    } else if (!r.duration.isEmpty()) {
        sheet.Text(row, 19, r.duration, f.text);
    }
}

void WriteResults(lxw_worksheet* ws, const Formats& f, const ClassReport& report,
                  lxw_error& error) {
    Sheet sheet(ws, error);
    const QStringList headers{
        QStringLiteral("名次"),     QStringLiteral("学号"),     QStringLiteral("姓名"),
        QStringLiteral("状态"),     QStringLiteral("得分"),     QStringLiteral("速度（字/分）"),
        QStringLiteral("正确率"),   QStringLiteral("击键"),     QStringLiteral("码长"),
        QStringLiteral("回改"),     QStringLiteral("用时"),     QStringLiteral("用时（秒）"),
        QStringLiteral("完成用时"), QStringLiteral("正确汉字"), QStringLiteral("正确字符"),
        QStringLiteral("已用时间"), QStringLiteral("及格"),     QStringLiteral("主机"),
        QStringLiteral("备注"),     QStringLiteral("考试时长")};
    for (qsizetype c = 0; c < headers.size(); ++c) {
        sheet.Text(0, lxw_col_t(c), headers[c], f.header);
    }
    lxw_row_t row = 1;
    for (const ReportRow& r : report.rows) {
        WriteRow(sheet, f, row++, r);
    }
    // The records that do not stand come last, so that a filter on 名次 or
    // 备注 takes them out.
    for (const ReportRow& r : report.retakes) {
        WriteRow(sheet, f, row++, r);
    }
    worksheet_set_column(ws, 0, 0, 6, nullptr);
    worksheet_set_column(ws, 1, 1, 14, nullptr);
    worksheet_set_column(ws, 2, 2, 12, nullptr);
    worksheet_set_column(ws, 3, 16, 10, nullptr);
    worksheet_set_column(ws, 5, 5, 13, nullptr);
    worksheet_set_column(ws, 17, 17, 16, nullptr);
    worksheet_set_column(ws, 18, 18, 28, nullptr);
    worksheet_set_column(ws, 19, 19, 11, nullptr);
    worksheet_freeze_panes(ws, 1, 0);
    worksheet_autofilter(ws, 0, 0, row - 1, lxw_col_t(headers.size() - 1));
}

void WriteWrong(lxw_worksheet* ws, const Formats& f, const ClassReport& report, lxw_error& error) {
    Sheet sheet(ws, error);
    sheet.Text(0, 0, QStringLiteral("字"), f.header);
    sheet.Text(0, 1, QStringLiteral("打错次数"), f.header);
    sheet.Text(0, 2, QStringLiteral("打成"), f.header);
    lxw_row_t row = 1;
    for (const WrongCharacter& w : report.wrong) {
        sheet.Text(row, 0, w.character, f.text);
        sheet.Number(row, 1, w.count, f.integer);
        sheet.Text(row, 2, TypedAsText(w), f.text);
        ++row;
    }
    worksheet_set_column(ws, 1, 2, 12, nullptr);
}

} // namespace

QString WriteXlsx(const QString& path, const ClassReport& report) {
    const QFileInfo target(path);
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        return QStringLiteral("无法建立临时文件夹");
    }
    const QByteArray made = QFile::encodeName(scratch.filePath(QStringLiteral("book.xlsx")));
    const QByteArray tmpdir = QFile::encodeName(scratch.path());
    lxw_workbook_options options{};
    options.tmpdir = const_cast<char*>(tmpdir.constData());
    lxw_workbook* book = workbook_new_opt(made.constData(), &options);
    if (book == nullptr) {
        return QStringLiteral("无法建立工作簿");
    }
    Formats f;
    f.header = workbook_add_format(book);
    format_set_bold(f.header);
    format_set_bg_color(f.header, 0xE8EDF2);
    format_set_border(f.header, LXW_BORDER_THIN);
    f.text = workbook_add_format(book);
    format_set_num_format(f.text, "@");
    f.integer = workbook_add_format(book);
    format_set_num_format(f.integer, "0");
    f.tenth = workbook_add_format(book);
    format_set_num_format(f.tenth, "0.0");
    f.percent = workbook_add_format(book);
    format_set_num_format(f.percent, "0.0%");
    f.hundredth = workbook_add_format(book);
    format_set_num_format(f.hundredth, "0.00");
    f.time = workbook_add_format(book);
    format_set_num_format(f.time, "[hh]:mm:ss");
    f.measured = workbook_add_format(book);
    format_set_num_format(f.measured, "[hh]:mm:ss.0");
    f.seconds = workbook_add_format(book);
    format_set_num_format(f.seconds, "0.000");

    lxw_error error = LXW_NO_ERROR;
    WriteResults(workbook_add_worksheet(book, "成绩"), f, report, error);
    WriteWrong(workbook_add_worksheet(book, "易错字"), f, report, error);
    const Heading& h = report.heading;
    const QByteArray title =
        ForWorkbook(QStringList{h.school, h.className,
                                h.title.isEmpty()
                                    ? QStringLiteral("打字考试成绩：%1").arg(report.sourceName)
                                    : h.title}
                        .join(QLatin1Char(' '))
                        .trimmed())
            .toUtf8();
    lxw_doc_properties properties{};
    properties.title = const_cast<char*>(title.constData());
    workbook_set_properties(book, &properties);
    const lxw_error closed = workbook_close(book);
    if (error == LXW_NO_ERROR) {
        error = closed;
    }
    if (error != LXW_NO_ERROR) {
        return QStringLiteral("无法写出工作簿：%1").arg(QString::fromUtf8(lxw_strerror(error)));
    }
    QFile file(QString::fromLocal8Bit(made));
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("无法读回工作簿");
    }
    const WriteOutcome outcome =
        WriteFileAtomically(target.absolutePath(), target.fileName(), file.readAll(), 0644);
    return outcome.ok ? QString() : DescribeWriteError(outcome.error);
}

} // namespace qarvel::results
