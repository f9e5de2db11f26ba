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
    lxw_format* time = nullptr;
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

void WriteResults(lxw_worksheet* ws, const Formats& f, const ClassReport& report,
                  lxw_error& error) {
    Sheet sheet(ws, error);
    const QStringList headers{
        QStringLiteral("学号"),     QStringLiteral("姓名"),          QStringLiteral("状态"),
        QStringLiteral("得分"),     QStringLiteral("速度（字/分）"), QStringLiteral("正确率"),
        QStringLiteral("完成用时"), QStringLiteral("正确汉字"),      QStringLiteral("正确字符"),
        QStringLiteral("已用时间"), QStringLiteral("主机"),          QStringLiteral("标记"),
        QStringLiteral("考试时长")};
    for (qsizetype c = 0; c < headers.size(); ++c) {
        sheet.Text(0, lxw_col_t(c), headers[c], f.header);
    }
    lxw_row_t row = 1;
    for (const ReportRow& r : report.rows) {
        sheet.Text(row, 0, r.number, f.text);
        sheet.Text(row, 1, r.name, f.text);
        sheet.Text(row, 2, r.state, f.text);
        if (!r.unreadable) {
            sheet.Number(row, 3, r.score, f.integer);
            sheet.Number(row, 7, r.correctHanzi, f.integer);
            sheet.Number(row, 8, r.correctAscii, f.integer);
        }
        if (r.measures.speed) {
            sheet.Number(row, 4, std::round(*r.measures.speed * 10) / 10, f.tenth);
        }
        if (r.measures.accuracy) {
            sheet.Number(row, 5, std::round(*r.measures.accuracy * 1000) / 1000, f.percent);
        }
        if (r.measures.completion) {
            // Times as fractions of a day, as spreadsheets keep them.
            sheet.Number(row, 6, double((*r.measures.completion + 500) / 1000) / 86400.0, f.time);
        }
        if (const auto seconds = ClockSeconds(r.elapsed)) {
            sheet.Number(row, 9, double(*seconds) / 86400.0, f.time);
        } else if (!r.elapsed.isEmpty()) {
            sheet.Text(row, 9, r.elapsed, f.text);
        }
        sheet.Text(row, 10, r.host, f.text);
        if (!r.flags.isEmpty()) {
            sheet.Text(row, 11, r.flags, f.text);
        }
        if (const auto ms = DurationMs(r.duration)) {
            sheet.Number(row, 12, double(*ms / 1000) / 86400.0, f.time);
        } else if (!r.duration.isEmpty()) {
            sheet.Text(row, 12, r.duration, f.text);
        }
        ++row;
    }
    worksheet_set_column(ws, 0, 0, 14, nullptr);
    worksheet_set_column(ws, 1, 1, 12, nullptr);
    worksheet_set_column(ws, 2, 9, 11, nullptr);
    worksheet_set_column(ws, 4, 4, 13, nullptr);
    worksheet_set_column(ws, 10, 10, 16, nullptr);
    worksheet_set_column(ws, 11, 11, 28, nullptr);
    worksheet_set_column(ws, 12, 12, 11, nullptr);
    worksheet_freeze_panes(ws, 1, 0);
    worksheet_autofilter(ws, 0, 0, row - 1, lxw_col_t(headers.size() - 1));
}

void WriteWrong(lxw_worksheet* ws, const Formats& f, const ClassReport& report, lxw_error& error) {
    Sheet sheet(ws, error);
    sheet.Text(0, 0, QStringLiteral("字"), f.header);
    sheet.Text(0, 1, QStringLiteral("打错次数"), f.header);
    lxw_row_t row = 1;
    for (const auto& [character, count] : report.wrong) {
        sheet.Text(row, 0, character, f.text);
        sheet.Number(row, 1, count, f.integer);
        ++row;
    }
    worksheet_set_column(ws, 1, 1, 10, nullptr);
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
    f.time = workbook_add_format(book);
    format_set_num_format(f.time, "[h]:mm:ss");

    lxw_error error = LXW_NO_ERROR;
    WriteResults(workbook_add_worksheet(book, "成绩"), f, report, error);
    WriteWrong(workbook_add_worksheet(book, "易错字"), f, report, error);
    const QByteArray title =
        ForWorkbook(QStringLiteral("打字考试成绩：%1").arg(report.sourceName)).toUtf8();
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
