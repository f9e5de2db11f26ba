// The input-method list over a scripted keyboard-layout service: which layouts
// are listed, their order, and which layout each entry activates.

#include "platform/InputMethodList.h"

#include "platform/GbkText.h"
#include "platform/ScriptedKeyboardLayouts.h"

#include <QCollator>
#include <QRandomGenerator>
#include <QTest>
#include <algorithm>

using qarvel::platform::BuildInputMethodList;
using qarvel::platform::FromGbk;
using qarvel::platform::InputMethodList;
using qarvel::platform::LayoutHandle;
using qarvel::platform::NoKeyboardLayouts;
using qarvel::platform::ScriptedKeyboardLayouts;
using qarvel::platform::ToGbk;
using Layout = ScriptedKeyboardLayouts::Layout;

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kChinese(QLocale::Chinese, QLocale::China);

Layout Ime(LayoutHandle handle, const QString& name) {
    return {handle, true, ToGbk(name)};
}

QStringList Texts(const InputMethodList& list) {
    QStringList texts;
    for (const auto& entry : list.entries()) {
        texts.push_back(entry.text);
    }
    return texts;
}

} // namespace

class InputMethodListTest : public QObject {
    Q_OBJECT

private slots:
    void listsOnlyInputMethodsWithAName_data();
    void listsOnlyInputMethodsWithAName();
    void considersOnlyTheFirst64Layouts();
    void equalNamesAreBothListedAndActivateTheirOwnLayout();
    void sortsCaseInsensitively();
    void sortsChineseNamesInCollationOrder();
    void sortsManyNamesIntoAPermutation();
    void emptyWithoutInputMethods();
    void activateIgnoresBadIndexesAndReportsFailure();
};

void InputMethodListTest::listsOnlyInputMethodsWithAName_data() {
    QTest::addColumn<bool>("inputMethod");
    QTest::addColumn<bool>("hasName");
    QTest::addColumn<QByteArray>("gbkName");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QString>("text");

    const auto gbk = [](const QString& s) { return QByteArray::fromStdString(ToGbk(s)); };
    const QString hanzi127 = QString(127, QChar(0x62FC)); // 拼: 2 bytes each
    QTest::newRow("input method") << true << true << gbk("Pinyin") << true << "Pinyin";
    QTest::newRow("chinese name") << true << true << gbk("微软拼音") << true << "微软拼音";
    QTest::newRow("keyboard layout") << false << true << gbk("English (US)") << false << "";
    QTest::newRow("no name") << true << false << QByteArray() << false << "";
    QTest::newRow("255 bytes") << true << true << QByteArray(255, 'n') << true
                               << QString(255, QLatin1Char('n'));
    QTest::newRow("256 bytes") << true << true << QByteArray(256, 'n') << false << "";
    QTest::newRow("255 bytes of hanzi and ascii")
        << true << true << gbk(hanzi127 + "a") << true << hanzi127 + "a";
    QTest::newRow("256 bytes of hanzi")
        << true << true << gbk(hanzi127 + QChar(0x62FC)) << false << "";
    QTest::newRow("cut at NUL") << true << true << QByteArray("Wubi\0junk", 9) << true << "Wubi";
    QTest::newRow("empty name") << true << true << QByteArray() << true << "";
}

void InputMethodListTest::listsOnlyInputMethodsWithAName() {
    QFETCH(bool, inputMethod);
    QFETCH(bool, hasName);
    QFETCH(QByteArray, gbkName);
    QFETCH(bool, listed);
    QFETCH(QString, text);

    ScriptedKeyboardLayouts service;
    service.addLayout(Ime(0x04090409, "Anchor")); // always listed, sorts first
    Layout probe{0xE0200804, inputMethod, std::nullopt};
    if (hasName) {
        probe.gbkName = gbkName.toStdString();
    }
    service.addLayout(probe);

    const InputMethodList list = BuildInputMethodList(service, kEnglish);
    QCOMPARE(list.count(), listed ? 2 : 1);
    const int anchor = list.at(0).text == "Anchor" ? 0 : 1;
    QCOMPARE(list.at(anchor).layout, LayoutHandle{0x04090409});
    if (listed) {
        const auto& entry = list.at(1 - anchor);
        QCOMPARE(entry.layout, LayoutHandle{0xE0200804});
        QCOMPARE(entry.text, text);
        QCOMPARE(QByteArray::fromStdString(entry.gbkName), QByteArray::fromStdString(ToGbk(text)));
        QVERIFY(entry.gbkName.size() <= 255);
    }
}

void InputMethodListTest::considersOnlyTheFirst64Layouts() {
    ScriptedKeyboardLayouts service;
    for (LayoutHandle h = 1; h <= 70; ++h) {
        service.addLayout(Ime(h, QStringLiteral("IME %1").arg(h, 3, 10, QLatin1Char('0'))));
    }
    const InputMethodList list = BuildInputMethodList(service, kEnglish);
    QCOMPARE(service.lastCapacity(), 64);
    QCOMPARE(list.count(), 64);
    for (int i = 0; i < list.count(); ++i) {
        QCOMPARE(list.at(i).layout, LayoutHandle(i + 1)); // "IME 001" .. "IME 064", in order
    }
}

void InputMethodListTest::equalNamesAreBothListedAndActivateTheirOwnLayout() {
    ScriptedKeyboardLayouts service({Ime(0x20, "Pinyin"), Ime(0x10, "Wubi"), Ime(0x30, "Pinyin")});
    const InputMethodList list = BuildInputMethodList(service, kEnglish);
    QCOMPARE(Texts(list), QStringList({"Pinyin", "Pinyin", "Wubi"}));

    QVERIFY(list.activate(0));
    QVERIFY(list.activate(1));
    QVERIFY(list.activate(2));
    const std::vector<LayoutHandle> expected{list.at(0).layout, list.at(1).layout,
                                             LayoutHandle{0x10}};
    QCOMPARE(service.activations(), expected);
    std::vector<LayoutHandle> pinyins{list.at(0).layout, list.at(1).layout};
    std::sort(pinyins.begin(), pinyins.end());
    QCOMPARE(pinyins, (std::vector<LayoutHandle>{0x20, 0x30}));
}

void InputMethodListTest::sortsCaseInsensitively() {
    // Byte order would give "Cangjie", "Zhuyin", "cangjie", "pinyin".
    ScriptedKeyboardLayouts service({Ime(1, "Zhuyin"), Ime(2, "pinyin"), Ime(3, "Cangjie"),
                                     Ime(4, "cangjie"), Ime(5, "PINYIN")});
    const InputMethodList list = BuildInputMethodList(service, kEnglish);
    QStringList folded;
    for (const QString& text : Texts(list)) {
        folded.push_back(text.toLower());
    }
    QCOMPARE(folded, QStringList({"cangjie", "cangjie", "pinyin", "pinyin", "zhuyin"}));
}

void InputMethodListTest::sortsChineseNamesInCollationOrder() {
    // Pinyin order: cang, pin, shuang, tong, wu, zheng. Code-point order would
    // put 五 first; GBK byte order would put 仝 (a level-2 hanzi) last.
    ScriptedKeyboardLayouts service({Ime(1, "郑码"), Ime(2, "五笔"), Ime(3, "仝码"), Ime(4, "双拼"),
                                     Ime(5, "拼音"), Ime(6, "仓颉")});
    const InputMethodList list = BuildInputMethodList(service, kChinese);
    QCOMPARE(Texts(list), QStringList({"仓颉", "拼音", "双拼", "仝码", "五笔", "郑码"}));
}

void InputMethodListTest::sortsManyNamesIntoAPermutation() {
    // Many equal and case-equal names stress the partitioning.
    QRandomGenerator random(20240601);
    const QStringList pool{"a", "A", "b", "拼音", "五笔", "Wubi", "wubi", "z", "Zz", "中"};
    ScriptedKeyboardLayouts service;
    for (LayoutHandle h = 1; h <= 64; ++h) {
        service.addLayout(Ime(h, pool.at(static_cast<int>(random.bounded(pool.size())))));
    }
    const InputMethodList list = BuildInputMethodList(service, kChinese);
    QCOMPARE(list.count(), 64);

    QCollator collator(kChinese);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<LayoutHandle> handles;
    for (int i = 0; i < list.count(); ++i) {
        if (i > 0) {
            QVERIFY2(collator.compare(list.at(i - 1).text, list.at(i).text) <= 0,
                     qPrintable(list.at(i - 1).text + " > " + list.at(i).text));
        }
        const auto name = service.layoutText(list.at(i).layout);
        QVERIFY(name.has_value());
        QCOMPARE(list.at(i).text, FromGbk(*name));
        handles.push_back(list.at(i).layout);
    }
    std::sort(handles.begin(), handles.end());
    QVERIFY(std::adjacent_find(handles.begin(), handles.end()) == handles.end());
}

void InputMethodListTest::emptyWithoutInputMethods() {
    ScriptedKeyboardLayouts keyboardsOnly({{1, false, "English (US)"}, {2, false, "French"}});
    QVERIFY(BuildInputMethodList(keyboardsOnly, kEnglish).isEmpty());

    NoKeyboardLayouts none;
    const InputMethodList list = BuildInputMethodList(none);
    QVERIFY(list.isEmpty());
    QCOMPARE(list.count(), 0);
    QVERIFY(!list.activate(0));
}

void InputMethodListTest::activateIgnoresBadIndexesAndReportsFailure() {
    ScriptedKeyboardLayouts service({Ime(7, "Pinyin")});
    const InputMethodList list = BuildInputMethodList(service, kEnglish);
    QVERIFY(!list.activate(-1));
    QVERIFY(!list.activate(1));
    QVERIFY(service.activations().empty());

    service.setActivationSucceeds(false);
    QVERIFY(!list.activate(0));
    QCOMPARE(service.activations(), std::vector<LayoutHandle>{7});

    QVERIFY(!InputMethodList().activate(0));
}

QTEST_GUILESS_MAIN(InputMethodListTest)
#include "InputMethodListTest.moc"
