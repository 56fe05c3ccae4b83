// Progress: the figures, their words, and which notifications make a line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli_json.h"
#include "progress_view.h"

namespace {

TEST(CliProgressText, FiguresAndWords) {
    struct Case {
        ProgressFigures figures;
        int percent;
        const char* rate;
        const char* left;
    };
    const Case cases[] = {
        {{0, 65536, 0.0}, 0, "-- B/s", "--:--"},
        {{32768, 65536, 2.0}, 50, "16.0 KiB/s", "0:02"},
        {{512, 1024, 1.0}, 50, "512 B/s", "0:01"},
        {{65536, 65536, 5.9}, 100, "10.8 KiB/s", "0:00"},
        {{256, 300000000, 1.0}, 0, "256 B/s", "325:31:14"},
        {{0, 0, 1.0}, 100, "-- B/s", "--:--"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.figures.Percent(), c.percent) << c.figures.bytesDone;
        EXPECT_EQ(FormatRate(c.figures.BytesPerSecond()), c.rate) << c.figures.bytesDone;
        EXPECT_EQ(FormatDuration(c.figures.SecondsLeft()), c.left) << c.figures.bytesDone;
    }
}

TEST(CliProgressText, BarLineAndJsonSayTheSame) {
    const ProgressFigures half{32768, 65536, 2.0};
    EXPECT_EQ(FormatProgressBar(half, 10), "[#####.....]  32768/65536 bytes   50%  16.0 KiB/s  0:02 left");
    EXPECT_EQ(FormatProgressLine(half), "progress: 32768/65536 bytes (50%), 16.0 KiB/s, 0:02 left");
    JsonValue value;
    ASSERT_TRUE(ParseJson(ProgressJson(half).Text(), &value));
    EXPECT_EQ(value["event"].text, "progress");
    EXPECT_EQ(value["bytes"].number, 32768);
    EXPECT_EQ(value["percent"].number, 50);
    EXPECT_DOUBLE_EQ(value["bytes_per_second"].number, 16384);
    JsonValue start;
    ASSERT_TRUE(ParseJson(ProgressJson({0, 100, 0}).Text(), &start));
    EXPECT_EQ(start["seconds_left"].type, JsonValue::Type::Null);
}

// Feeds a view the notifications of an upload of `bytes` in which `taken` blocks were
// answered 'O', and returns what it wrote.
std::string Shown(ProgressStyle style, uint32_t bytes, uint32_t taken, bool ranged = true) {
    FILE* stream = std::tmpfile();
    EXPECT_NE(stream, nullptr);
    {
        ProgressView view(style, bytes, stream);
        auto now = std::chrono::steady_clock::now();
        if (ranged) {
            view.OnEvent(ProgressEvent::SetRange, static_cast<int32_t>(bytes / 256 + 1), now);
            view.OnEvent(ProgressEvent::SetStep, 1, now);
            view.OnEvent(ProgressEvent::SetPos, 0, now);
        }
        for (uint32_t i = 0; i < taken; ++i) {
            now += std::chrono::milliseconds(10);
            view.OnEvent(ProgressEvent::StepIt, 0, now);
        }
        view.OnEvent(ProgressEvent::SetPos, 0, now);
        EXPECT_EQ(view.StepsTaken(), taken);
        EXPECT_EQ(view.Finished(), ranged);
    }
    std::string text;
    std::rewind(stream);
    for (int c; (c = std::fgetc(stream)) != EOF;) text += static_cast<char>(c);
    std::fclose(stream);
    return text;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(CliProgressView, LinesEveryTenthJsonEveryPercentNothingWhenQuiet) {
    // 65,536 bytes: 256 blocks taken, the percent runs 0..100.
    const std::string lines = Shown(ProgressStyle::Lines, 65536, 256);
    EXPECT_EQ(Count(lines, "\n"), 11u) << lines;  // 0%, 10%, ..., 100%
    EXPECT_NE(lines.find("progress: 65536/65536 bytes (100%)"), std::string::npos);

    const std::string json = Shown(ProgressStyle::Json, 65536, 256);
    EXPECT_EQ(Count(json, "\"event\":\"progress\""), 101u);

    EXPECT_EQ(Shown(ProgressStyle::None, 65536, 256), "");

    // A short last block: bytes never pass the image size.
    EXPECT_NE(Shown(ProgressStyle::Lines, 300, 2).find("300/300 bytes (100%)"), std::string::npos);
    // A failure before the image check sends only the closing reset: nothing to show.
    EXPECT_EQ(Shown(ProgressStyle::Lines, 300, 0, false), "");
    // A failure mid-way ends with the last figures, not 100%.
    const std::string stopped = Shown(ProgressStyle::Lines, 65536, 100);
    EXPECT_EQ(stopped.find("(100%)"), std::string::npos);
}

TEST(CliProgressView, TheBarRedrawsInPlaceAndEndsWithALineBreak) {
    const std::string bar = Shown(ProgressStyle::Bar, 65536, 256);
    EXPECT_GT(Count(bar, "\r"), 5u);
    EXPECT_EQ(Count(bar, "\n"), 1u);
    EXPECT_EQ(bar.back(), '\n');
    EXPECT_NE(bar.find("65536/65536 bytes  100%"), std::string::npos);
}

}  // namespace
