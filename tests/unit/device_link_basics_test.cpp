// The small shared pieces: checksum, result codes, the speed table, the port list and
// the log writer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "checksum.h"
#include "collecting_log.h"
#include "device_link.h"
#include "device_types.h"
#include "collecting_log.h"
#include "log.h"
#include "result_code.h"

TEST(AdditiveChecksum, SumsModulo256) {
    struct Row {
        std::vector<uint8_t> bytes;
        int32_t n;
        uint8_t sum;
    };
    const std::vector<Row> rows = {
        {{0x61, 0x62, 0x63}, 3, 0x26},
        {{}, 0, 0x00},
        {{0xFF, 0x01}, 2, 0x00},
        {{0x45, 0x01, 0x00, 0x04, 0x00}, 5, 0x4A},  // the E request for one byte at address 4
        {{0x48, 0x52, 0x01, 0x00, 0x01}, 5, 0x9C},  // the HR request for one byte at address 1
        {{0x10, 0x20}, 1, 0x10},                    // only n bytes count
        {{0x10, 0x20}, -1, 0x00},                   // a negative count sums nothing
    };
    for (const Row& row : rows) {
        EXPECT_EQ(AdditiveChecksum(row.bytes.data(), row.n), row.sum) << "n=" << row.n;
    }
}

TEST(AdditiveChecksum, WrapsOverALongRun) {
    std::vector<uint8_t> bytes(65536, 0xFF);
    EXPECT_EQ(AdditiveChecksum(bytes.data(), static_cast<int32_t>(bytes.size())), 0x00);  // 65536 * 255 % 256
    bytes.back() = 0x00;
    EXPECT_EQ(AdditiveChecksum(bytes.data(), static_cast<int32_t>(bytes.size())), 0x01);
}

TEST(ResultCodes, KnownAreExactlyTheTable) {
    const std::set<ResultCode> known = {0, -1, -2, -3, -4, -5, -7, -8, -11, -12, -13, -14, -15, -17, -18};
    for (ResultCode code = -40; code <= 40; ++code) {
        EXPECT_EQ(IsKnownResultCode(code), known.count(code) == 1) << code;
    }
}

TEST(SpeedTable, CodesAndSpeeds) {
    struct Row {
        SpeedCode code;
        int32_t speed;
    };
    for (const Row& row : std::vector<Row>{{0, 921600}, {1, 460800}, {3, 230400}, {7, 115200}}) {
        EXPECT_EQ(SpeedOfCode(row.code), row.speed);
        EXPECT_EQ(CodeOfSpeed(row.speed), row.code);
    }
    for (SpeedCode code : {-1, 2, 4, 5, 6, 8, 255, 256}) EXPECT_EQ(SpeedOfCode(code), 0) << code;
    for (int32_t speed : {0, 9600, 57600, 115201, 1843200, -115200}) EXPECT_EQ(CodeOfSpeed(speed), -1) << speed;
}

TEST(DefaultPortList, IsCom1ToCom5InOrder) {
    const PortList ports = DefaultPortList();
    ASSERT_EQ(ports.count, 5u);
    for (size_t i = 0; i < ports.count; ++i) EXPECT_STREQ(ports.names[i], ("COM" + std::to_string(i + 1)).c_str());
}

namespace {

// A pointer that crashes whoever reads a string through it.
const char* const kUnreadable = reinterpret_cast<const char*>(static_cast<uintptr_t>(16));

}  // namespace

TEST(WriteLog, WithoutATargetFormatsNothing) {
    // Reading the %s argument would fault: returning early is the only way to pass.
    WriteLog(nullptr, "Quorvantis: %s", kUnreadable);
    LogSink empty;
    WriteLog(&empty, "Quorvantis: %s", kUnreadable);
    SUCCEED();
}

TEST(WriteLog, HandsTheFormattedLineToTheCallback) {
    CollectingLog collector;
    LogSink& sink = collector.sink;
    WriteLog(&sink, "Quorvantis: %s baud rate set to %i", "COM3", 115200);
    WriteLog(&sink, "Quorvantis: ReadEEPROM requested, %i bytes to address %X", 1, 0xABCDu);
    EXPECT_EQ(collector.lines, (std::vector<std::string>{"Quorvantis: COM3 baud rate set to 115200",
                                                          "Quorvantis: ReadEEPROM requested, 1 bytes to address ABCD"}));
}

TEST(WriteLog, CutsALongLineTo4095Characters) {
    CollectingLog collector;
    LogSink& sink = collector.sink;
    std::string text(5000, 'x');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    WriteLog(&sink, "%s", text.c_str());
    ASSERT_EQ(collector.lines.size(), 1u);
    EXPECT_EQ(collector.lines[0], text.substr(0, 4095));
}

TEST(WriteLog, TwoThreadsLoggingAtOnceKeepTheirLinesWhole) {
    CollectingLog collector;
    LogSink& sink = collector.sink;
    constexpr int kLines = 2000;
    auto writer = [&sink](char fill) {
        const std::string body(3000, fill);
        for (int i = 0; i < kLines; ++i) WriteLog(&sink, "%c%d:%s", fill, i, body.c_str());
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    ASSERT_EQ(collector.lines.size(), 2u * kLines);
    for (const std::string& line : collector.lines) {
        const char fill = line[0];
        const size_t colon = line.find(':');
        ASSERT_NE(colon, std::string::npos);
        EXPECT_EQ(line.substr(colon + 1), std::string(3000, fill)) << "a line mixed with the other thread's";
    }
}
