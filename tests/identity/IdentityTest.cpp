// Names and numbers read as a person reads them, for the login and the results alike.
#include "identity/Identity.h"

#include <QString>
#include <gtest/gtest.h>

namespace identity = qarvel::identity;

TEST(Identity, NumbersAndNamesAsAPersonReadsThem) {
    const struct {
        const char* text;
        const char* read;
    } cases[] = {
        {"２０２４００１", "2024001"},
        {"2024\u200B001", "2024001"},
        {" 2024001 ", "2024001"},
        {"\u200F2024001\u202E", "2024001"},
        {"2024\u00AD001\uFEFF", "2024001"},
        {"Li\u3000 Lei", "Li Lei"},
        {"\t张三\n", "张三"},
        {"Ａｂｃ", "Abc"},
        {"\u3164", ""},
        {"e\u0301", "\u00E9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(identity::NormalizedIdentity(QString::fromUtf8(c.text)),
                  QString::fromUtf8(c.read))
            << c.text;
    }
    EXPECT_EQ(identity::NumberKey(QStringLiteral("ａ01")),
              identity::NumberKey(QStringLiteral("A01")));
}
