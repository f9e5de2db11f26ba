#include "StartCheck.h"

namespace qarvel::app {

QString RefusalToStart(bool read, const exam::SourceCounts& counts, const QString& fullPath) {
    if (!read) {
        return QStringLiteral("不能开始考试：找不到或无法读取原文文件\n%1\n\n"
                              "请老师把原文放到这个位置（或在启动程序时用 --source 指定原文文件），"
                              "然后重新启动程序。")
            .arg(fullPath);
    }
    if (counts.total <= 0) {
        return QStringLiteral("不能开始考试：原文文件中没有可录入的字\n%1\n\n"
                              "请老师在这个文件中放入原文（可以用 qarvel-check 检查），"
                              "然后重新启动程序。")
            .arg(fullPath);
    }
    return {};
}

} // namespace qarvel::app
