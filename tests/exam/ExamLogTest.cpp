// The exam's event log: recorded as the window sees the changes, written as
// text and read back, and replayed through the engine to the same result.
#include "RecordingView.h"
#include "exam/CompareAnswer.h"
#include "exam/ExamClock.h"
#include "exam/ExamLogText.h"
#include "exam/ExamRecorder.h"
#include "exam/ExamReplay.h"
#include "exam/Gbk.h"
#include "exam/SourceCount.h"
#include "exam/TimeText.h"
#include "exam/TypingPace.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace qarvel::exam {
namespace {

using Kind = ExamEvent::Kind;

std::string Gbk(const char* utf8) {
    return Utf8ToGbk(utf8);
}

// An exam window on a fake monotonic clock: the engine, the real pacer, a
// one-second timer that fires a little late, and the recorder.
class LiveExam {
public:
    explicit LiveExam(const std::string& source, const std::string& duration = "00:30:00")
        : pacer_([this] { return now_; }), recorder_([this] { return now_; }), view_(*this) {
        CountSource(state_, source);
        SetUpClock(state_, view_);
        SetDuration(state_, view_, duration);
        recorder_.Start();
    }

    // Time runs to `ms`, the timer firing on its way.
    void RunTo(std::int64_t ms) {
        while (view_.clockOn && nextTick_ <= ms) {
            now_ = nextTick_;
            ClockTick(state_, view_, {}, pacer_.Due());
            // The window sets the timer back on the second after a late tick.
            nominal_ += kClockPeriodMs;
            nextTick_ = nominal_ + jitter_(random_);
        }
        now_ = ms;
    }
    void Type(std::int64_t ms, const std::string& answer) {
        RunTo(ms);
        if (view_.readOnly || view_.disabled) {
            return; // the box takes nothing
        }
        recorder_.Change(answer);
        try {
            CompareAnswer(state_, view_, answer);
        } catch (const std::exception&) {
        }
    }
    void Pause(std::int64_t ms) {
        RunTo(ms);
        recorder_.Pause();
        PauseExam(state_, view_);
    }
    void Continue(std::int64_t ms) {
        RunTo(ms);
        recorder_.Continue();
        ContinueExam(state_, view_);
    }

    const ExamState& state() const { return state_; }
    const testing::RecordingView& view() const { return view_; }
    const ExamLog& log() const { return recorder_.log(); }
    std::int64_t Seconds(Field field) const {
        return std::llround(ParseTimeText(view_.Shown(field)) * 86400.0);
    }

private:
    class View : public testing::RecordingView {
    public:
        explicit View(LiveExam& exam) : exam_(exam) {}
        void SetClockEnabled(bool on) override {
            if (on && !clockOn) {
                exam_.pacer_.Start();
                exam_.nominal_ = exam_.now_ + kClockPeriodMs;
                exam_.nextTick_ = exam_.nominal_;
            }
            RecordingView::SetClockEnabled(on);
        }

    private:
        LiveExam& exam_;
    };

    std::int64_t now_ = 0;
    std::int64_t nextTick_ = 0;
    std::int64_t nominal_ = 0;
    std::mt19937 random_{7};
    std::uniform_int_distribution<int> jitter_{0, 30};
    ClockPacer pacer_;
    ExamRecorder recorder_;
    ExamState state_;
    View view_;
};

TEST(ExamLogText, RandomLogsReadBackAsWritten) {
    std::mt19937 random(11);
    const std::vector<std::string> pieces = {Gbk("中"), Gbk("文"), "a",    " ",        "\r\n",
                                             "",        Gbk("，"), "\x80", "\xff\xff", "\"\\{"};
    for (int round = 0; round < 200; ++round) {
        std::vector<ExamEvent> events;
        std::int64_t ms = 0;
        for (int i = int(random() % 40); i > 0; --i) {
            ms += std::int64_t(random() % 5000);
            ExamEvent e{ms, Kind(random() % 4), {}, 0};
            if (e.kind == Kind::Append) {
                for (int k = int(random() % 3); k >= 0; --k) {
                    e.text += pieces[random() % pieces.size()];
                }
            } else if (e.kind == Kind::Remove) {
                e.count = int(random() % 7);
            }
            events.push_back(e);
        }
        const std::string text = EncodeEvents(events);
        ASSERT_TRUE(IsValidUtf8(text)) << text;
        const auto back = DecodeEvents(text);
        ASSERT_TRUE(back.has_value()) << text;
        EXPECT_EQ(*back, events) << text;
    }
}

TEST(ExamLogText, RefusesWhatIsNotALog) {
    for (const char* bad : {"12", "+a", "12?", "5*3:ab", "5-2", "5x2:zz00", "5x1:f", "-5+a",
                            "5*99999999999:a", "99999999999+a"}) {
        EXPECT_FALSE(DecodeEvents(bad).has_value()) << bad;
    }
    EXPECT_EQ(DecodeEvents("")->size(), 0U);
}

TEST(ExamRecorder, WritesWhatEachChangeAddedOrTook) {
    std::int64_t now = 1000;
    ExamRecorder recorder([&] { return now; });
    recorder.Change("ignored before the login");
    recorder.Start();
    now += 250;
    recorder.Change(Gbk("中"));
    now += 10;
    recorder.Change(Gbk("中文a"));
    recorder.Pause();
    now += 5;
    recorder.Continue();
    recorder.Change(Gbk("中"));
    recorder.Change(Gbk("中"));
    recorder.Change(Gbk("中国")); // not at the end: taken and added again
    const std::vector<ExamEvent> expected = {
        {250, Kind::Append, Gbk("中"), 0}, {260, Kind::Append, Gbk("文a"), 0},
        {260, Kind::Pause, {}, 0},         {265, Kind::Continue, {}, 0},
        {265, Kind::Remove, {}, 3},        {265, Kind::Append, {}, 0},
        {265, Kind::Remove, {}, 0},        {265, Kind::Append, Gbk("国"), 0},
    };
    // A change that neither adds nor takes is still one judged change.
    EXPECT_EQ(recorder.log().events[5], expected[5]);
    EXPECT_EQ(recorder.log().events.size(), 7U);
    EXPECT_EQ(recorder.log().events[6], expected[7]);
    EXPECT_EQ(AnswerOf(recorder.log()), Gbk("中国"));
}

// Typing with mistakes, corrections, pauses; the replay gives what the live
// window showed.
TEST(ExamReplay, GivesWhatTheWindowShowed) {
    const std::string source = Gbk("春眠不觉晓，处处闻啼鸟。\r\nSpring sleep 1 夜来风雨声");
    std::mt19937 random(3);
    for (int round = 0; round < 60; ++round) {
        LiveExam live(source);
        std::string answer;
        std::int64_t ms = 2000;
        bool paused = false;
        for (int step = 0; step < 80; ++step) {
            ms += 50 + std::int64_t(random() % 1500);
            const auto what = random() % 20;
            if (what == 0) {
                paused ? live.Continue(ms) : live.Pause(ms);
                paused = !paused;
                continue;
            }
            if (paused) {
                continue; // the box takes nothing
            }
            if (what < 4 && !answer.empty()) {
                // The last character goes, as Backspace takes it.
                std::size_t last = 0;
                for (std::size_t k = 0; k < answer.size();) {
                    last = k;
                    k += IsLeadByte(static_cast<unsigned char>(answer[k])) ? 2U : 1U;
                }
                answer.resize(last);
            } else if (answer.size() < source.size()) {
                // Mostly the right character, sometimes a wrong one.
                std::size_t width =
                    IsLeadByte(static_cast<unsigned char>(source[answer.size()])) ? 2 : 1;
                width = std::min<std::size_t>(width, source.size() - answer.size());
                answer += what == 5 ? Gbk("错") : source.substr(answer.size(), width);
            }
            live.Type(ms, answer);
        }
        const std::int64_t at = ms + 1234;
        live.RunTo(at);
        const ReplayResult replay = ReplayExam(source, "00:30:00", live.log(), at);
        ASSERT_EQ(replay.answer, live.state().AnswerText) << round;
        EXPECT_EQ(replay.correctAscii, live.state().CorrectAsciiCount) << round;
        EXPECT_EQ(replay.correctHanzi, live.state().CorrectHanziCount) << round;
        EXPECT_EQ(std::to_string(replay.score), live.view().Shown(Field::Score)) << round;
        EXPECT_EQ(replay.complete, live.view().disabled) << round;
        EXPECT_EQ(replay.readOnly, live.view().readOnly) << round;
        EXPECT_NEAR(double(replay.elapsedSeconds), double(live.Seconds(Field::ElapsedTime)), 1)
            << round;
        EXPECT_EQ(replay.outsideExamTime, 0) << round;
        EXPECT_EQ(replay.changes, std::count_if(live.log().events.begin(), live.log().events.end(),
                                                [](const ExamEvent& e) {
                                                    return e.kind == Kind::Append ||
                                                           e.kind == Kind::Remove;
                                                }))
            << round;
    }
}

TEST(ExamReplay, TimeUpAndCompletionEndTheExam) {
    const std::string source = Gbk("天地");
    LiveExam live(source, "00:00:05");
    live.Type(1000, Gbk("天"));
    live.RunTo(20000);
    EXPECT_TRUE(live.view().readOnly);
    const ReplayResult up = ReplayExam(source, "00:00:05", live.log(), 20000);
    EXPECT_EQ(up.elapsedSeconds, 5);
    EXPECT_EQ(up.remainingSeconds, 0);
    EXPECT_TRUE(up.readOnly);

    LiveExam done(source);
    done.Type(1000, Gbk("天"));
    done.Type(1500, Gbk("天地"));
    const ReplayResult complete = ReplayExam(source, "00:30:00", done.log(), 9000);
    EXPECT_TRUE(complete.complete);
    EXPECT_EQ(complete.score, 100);
    EXPECT_EQ(complete.elapsedSeconds, 0); // the clock stopped at completion
}

TEST(ExamReplay, FindsChangesOutsideExamTime) {
    const std::string source = Gbk("天地玄黄");
    const auto replay = [&](std::vector<ExamEvent> events, const char* duration = "00:30:00") {
        return ReplayExam(source, duration, ExamLog{std::move(events), 10}, 600000);
    };
    EXPECT_EQ(replay({{1000, Kind::Append, Gbk("天"), 0}}).outsideExamTime, 0);
    EXPECT_EQ(replay({{1000, Kind::Append, Gbk("天"), 0},
                      {2000, Kind::Pause, {}, 0},
                      {3000, Kind::Append, Gbk("地"), 0}})
                  .outsideExamTime,
              1);
    // Time up after 10 s; a late tick is allowed for, a later change is not.
    EXPECT_EQ(replay({{1000, Kind::Append, Gbk("天"), 0}, {11500, Kind::Append, Gbk("地"), 0}},
                     "00:00:10")
                  .outsideExamTime,
              0);
    const ReplayResult late = replay(
        {{1000, Kind::Append, Gbk("天"), 0}, {15000, Kind::Append, Gbk("地"), 0}}, "00:00:10");
    EXPECT_EQ(late.outsideExamTime, 1);
    EXPECT_EQ(late.elapsedSeconds, 10); // a change that could not be does not restart the clock
    EXPECT_TRUE(replay({{5000, Kind::Append, "a", 0}, {4000, Kind::Append, "b", 0}}).disordered);
}

TEST(TypingPace, PersonAndMachine) {
    const auto log = [](int characters, std::int64_t everyMs, std::int64_t keys) {
        ExamLog l;
        l.keyPresses = keys;
        for (int i = 0; i < characters; ++i) {
            l.events.push_back({1000 + i * everyMs, Kind::Append, Gbk("字"), 0});
        }
        return l;
    };
    struct Case {
        int characters;
        std::int64_t everyMs;
        std::int64_t keys;
        bool implausible;
    };
    for (const Case& c : {
             Case{3000, 600, 9000, false}, // 100 a minute for 30 minutes
             Case{600, 200, 3000, false},  // 300 a minute for two minutes
             Case{450, 10, 900, true},     // 100 a second: a program
             Case{500, 140, 2000, true},   // 430 a minute for over a minute
             Case{90, 100, 300, true},     // 90 within ten seconds
             Case{300, 600, 100, true},    // three characters a key
             Case{300, 600, -1, false},    // keys not counted
         }) {
        const ExamLog l = log(c.characters, c.everyMs, c.keys);
        EXPECT_EQ(ImplausiblePace(MeasurePace(l), l.keyPresses), c.implausible)
            << c.characters << " every " << c.everyMs << " ms, keys " << c.keys;
    }
    // A phrase handed over at once by an input method is a person's.
    ExamLog phrases;
    for (int i = 0; i < 100; ++i) {
        phrases.events.push_back({i * 6000LL, Kind::Append, Gbk("中华人民共和国"), 0});
    }
    EXPECT_FALSE(ImplausiblePace(MeasurePace(phrases), 400));
    EXPECT_EQ(MeasurePace(phrases).characters, 700);
}

} // namespace
} // namespace qarvel::exam
