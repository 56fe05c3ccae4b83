// The Win32 serial layer's error reporting: which codes mean "no such port" and "busy",
// the system text of a code, and the per-thread copy of the last error.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "image_file.h"
#include "serial.h"

namespace {

struct ErrorKind {
    uint32_t code;
    bool noSuchPort;
    bool busy;
};

TEST(Win32SerialErrors, ClassifiesOpenFailures) {
    const ErrorKind table[] = {
        {ERROR_FILE_NOT_FOUND, true, false},    {ERROR_PATH_NOT_FOUND, true, false},
        {ERROR_ACCESS_DENIED, false, true},     {ERROR_SHARING_VIOLATION, false, true},
        {ERROR_INVALID_PARAMETER, false, false}, {ERROR_GEN_FAILURE, false, false},
        {ERROR_SUCCESS, false, false},
    };
    for (const ErrorKind& row : table) {
        EXPECT_EQ(SerialErrorIsNoSuchPort(row.code), row.noSuchPort) << "code " << row.code;
        EXPECT_EQ(SerialErrorIsBusy(row.code), row.busy) << "code " << row.code;
    }
}

TEST(Win32SerialErrors, TextIsTheSystemMessageWithoutLineEnd) {
    char text[256];
    SerialErrorText(ERROR_FILE_NOT_FOUND, text, sizeof text);
    std::string message = text;
    ASSERT_FALSE(message.empty());
    EXPECT_NE(message.back(), '\n');
    EXPECT_NE(message.back(), '\r');
    EXPECT_EQ(message.find("error 2"), std::string::npos) << "fell back to the number: " << message;
}

TEST(Win32SerialErrors, TextIsCutToTheCapacity) {
    char full[256];
    SerialErrorText(ERROR_ACCESS_DENIED, full, sizeof full);
    ASSERT_GT(std::strlen(full), 5u);

    char text[8];
    std::memset(text, 'x', sizeof text);
    SerialErrorText(ERROR_ACCESS_DENIED, text, 6);
    EXPECT_EQ(std::string(text), std::string(full, 5));
    EXPECT_EQ(text[6], 'x') << "wrote past the capacity";

    char one[2] = {'x', 'y'};
    SerialErrorText(ERROR_ACCESS_DENIED, one, 1);
    EXPECT_EQ(one[0], '\0');
    EXPECT_EQ(one[1], 'y');
}

TEST(Win32SerialErrors, CodeWithoutSystemTextIsShownAsNumber) {
    char text[64];
    SerialErrorText(0x2000FFFFu, text, sizeof text);
    EXPECT_STREQ(text, "error 536936447");
}

TEST(Win32SerialErrors, MissingPortIsNoSuchPort) {
    // No COM port is mapped this high in the test prefix.
    EXPECT_EQ(SerialOpen("COM87"), nullptr);
    uint32_t error = SerialLastError();
    EXPECT_TRUE(SerialErrorIsNoSuchPort(error)) << "error " << error;
}

TEST(Win32SerialErrors, LastErrorSurvivesLaterCalls) {
    ASSERT_EQ(SerialOpen("COM88"), nullptr);
    uint32_t error = SerialLastError();
    // Logging and window work between the failure and the caller's look at the code
    // change the thread's own last error.
    SetLastError(ERROR_INVALID_HANDLE);
    EXPECT_EQ(SerialLastError(), error);
}

TEST(Win32SerialErrors, LastErrorIsPerThread) {
    // A file this thread holds exclusively: the worker's open of it fails differently.
    char folder[MAX_PATH];
    char path[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
    ASSERT_NE(GetTempFileNameA(folder, "drs", 0, path), 0u);
    ImageFileHandle held = ImageFileOpen(path);
    ASSERT_NE(held, nullptr);

    ASSERT_EQ(SerialOpen("COM89"), nullptr);
    uint32_t mine = SerialLastError();

    uint32_t other = 0;
    std::thread worker([&other, &path] {
        ImageFileOpen(path);
        other = SerialLastError();
    });
    worker.join();
    ImageFileClose(held);
    DeleteFileA(path);

    EXPECT_TRUE(SerialErrorIsBusy(other)) << "error " << other;
    EXPECT_TRUE(SerialErrorIsNoSuchPort(mine)) << "error " << mine;
    EXPECT_EQ(SerialLastError(), mine);
}

}  // namespace
