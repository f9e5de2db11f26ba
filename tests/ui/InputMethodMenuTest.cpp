// The input-method menu of the exam window, over a scripted desktop.
#include "UiTestSupport.h"
#include "platform/ScriptedKeyboardLayouts.h"
#include "ui/AnswerEdit.h"
#include "ui/ClickLabel.h"
#include "ui/ExamWindow.h"

#include <QAction>
#include <QMenu>
#include <QtTest>
#include <memory>

using namespace qarvel;
using namespace qarvel::ui;
using namespace qarvel::ui::testing;
using Layout = platform::ScriptedKeyboardLayouts::Layout;

namespace {

const std::string kSource = Gbk("你好世界");

} // namespace

class InputMethodMenuTest : public QObject {
    Q_OBJECT

    std::unique_ptr<BoxRecorder> recorder_;
    std::unique_ptr<ExamWindow> form_;
    platform::ScriptedKeyboardLayouts* desktop_ = nullptr; // owned by the window

    void Open(std::vector<Layout> layouts) {
        form_.reset();
        recorder_ = std::make_unique<BoxRecorder>();
        ExamWindowSetup setup = SetupFor(kSource, *recorder_);
        setup.keyboardLayouts = [this, layouts] {
            auto desktop = std::make_unique<platform::ScriptedKeyboardLayouts>(layouts);
            desktop_ = desktop.get();
            return desktop;
        };
        form_ = std::make_unique<ExamWindow>(std::move(setup));
        form_->show();
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    QMenu* Menu() const { return form_->ImeMenu(); }
    AnswerEdit* Memo() const { return form_->findChild<AnswerEdit*>(QStringLiteral("Memo1")); }
    QStringList Captions() const {
        QStringList captions;
        for (const QAction* item : Menu()->actions()) {
            captions << item->text();
        }
        return captions;
    }
    QAction* Item(const QString& caption, int nth = 0) const {
        for (QAction* item : Menu()->actions()) {
            if (item->text() == caption && nth-- == 0) {
                return item;
            }
        }
        return nullptr;
    }

private slots:
    void cleanup() {
        if (auto* menu = form_ ? form_->findChild<QMenu*>(QStringLiteral("PopupMenu1")) : nullptr) {
            menu->hide();
        }
        form_.reset();
        recorder_.reset();
    }

    void theMenuListsTheInputMethodsSortedAndTagged() {
        Open({{1, false, Gbk("English (US)")},
              {2, true, Gbk("Wubi")},
              {3, true, Gbk("pinyin")},
              {4, true, std::nullopt},
              {5, true, Gbk("Pinyin")},
              {6, true, std::string(256, 'x')}});
        const QStringList captions = Captions();
        QCOMPARE(captions.size(), 3);
        // Names that differ only in case sort together, before Wubi.
        QCOMPARE(captions.at(0).toLower(), QStringLiteral("pinyin"));
        QCOMPARE(captions.at(1).toLower(), QStringLiteral("pinyin"));
        QCOMPARE(captions.at(2), QStringLiteral("Wubi"));
        for (int i = 0; i < Menu()->actions().size(); ++i) {
            const QAction* item = Menu()->actions().at(i);
            QCOMPARE(item->data().toInt(), i);
            QVERIFY(!item->isCheckable());
            QVERIFY(item->isEnabled());
        }
        QVERIFY(recorder_->boxes.empty());
    }

    void eachItemActivatesItsOwnLayoutAndTheFocusStays() {
        Open({{10, true, Gbk("拼音")}, {20, true, Gbk("拼音")}, {30, true, Gbk("五笔")}});
        Memo()->setFocus();
        QTRY_VERIFY(Memo()->hasFocus());
        Item(QStringLiteral("拼音"), 0)->trigger();
        Item(QStringLiteral("拼音"), 1)->trigger();
        Item(QStringLiteral("五笔"))->trigger();
        const std::vector<platform::LayoutHandle> expected0{10, 20, 30};
        const std::vector<platform::LayoutHandle> expected1{20, 10, 30};
        QVERIFY(desktop_->activations() == expected0 || desktop_->activations() == expected1);
        QVERIFY(Memo()->hasFocus());
        QCOMPARE(Memo()->toPlainText(), QString());
    }

    void choosingWhileTheAnswerIsReadOnlyOrDisabledStillSwitches() {
        Open({{7, true, Gbk("Pinyin")}});
        form_->SetAnswerReadOnly(true);
        Item(QStringLiteral("Pinyin"))->trigger();
        form_->DisableAnswer();
        Item(QStringLiteral("Pinyin"))->trigger();
        QCOMPARE(desktop_->activations().size(), std::size_t{2});
    }

    void aClickOnTheLabelPopsTheMenuUpAtThePointer() {
        Open({{1, true, Gbk("Pinyin")}});
        auto* lab1 = form_->findChild<ClickLabel*>(QStringLiteral("Lab1"));
        QVERIFY(lab1 != nullptr);
        // Made when first opened, with the entries listed as the window was made.
        QVERIFY(form_->findChild<QMenu*>(QStringLiteral("PopupMenu1")) == nullptr);
        QTest::mouseClick(lab1, Qt::LeftButton);
        QTRY_VERIFY(Menu()->isVisible());
        QCOMPARE(Menu(), form_->findChild<QMenu*>(QStringLiteral("PopupMenu1")));
        QCOMPARE(Captions(), QStringList{QStringLiteral("Pinyin")});
        Menu()->hide();
        QVERIFY(desktop_->activations().empty()); // closing without a choice changes nothing
    }

    void withoutInputMethodsTheMenuSaysSo() {
        Open({{1, false, Gbk("English (US)")}});
        QCOMPARE(Captions(), QStringList{QStringLiteral("未找到输入法")});
        QVERIFY(!Menu()->actions().constFirst()->isEnabled());
        auto* lab1 = form_->findChild<ClickLabel*>(QStringLiteral("Lab1"));
        QTest::mouseClick(lab1, Qt::LeftButton);
        QTRY_VERIFY(Menu()->isVisible());
        Menu()->actions().constFirst()->trigger(); // disabled: nothing happens
        QVERIFY(desktop_->activations().empty());
        QVERIFY(recorder_->boxes.empty());
    }
};

QTEST_MAIN(InputMethodMenuTest)
#include "InputMethodMenuTest.moc"
