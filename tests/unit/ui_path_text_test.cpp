// The picker's trailing-backslash rule, its initial folder, and ampersand escaping.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "path_text.h"

namespace {

struct TextCase {
    const char* input;
    const char* expected;
};

TEST(TrailingBackslash, RemovesExactlyOne) {
    const TextCase cases[] = {
        {"C:\\fw\\\\", "C:\\fw\\"},  // two backslashes: one is left
        {"C:\\fw\\", "C:\\fw"},
        {"C:\\fw\\a.enc", "C:\\fw\\a.enc"},
        {"\\", ""},
        {"", ""},  // an empty text is not changed
        {"a/", "a/"},  // only backslashes count
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.input);
        char text[64];
        std::strcpy(text, c.input);
        RemoveOneTrailingBackslash(text);
        EXPECT_STREQ(text, c.expected);
    }
}

TEST(TrailingBackslash, LeavesTheRestOfAnEmptyBufferAlone) {
    char text[4] = {'\0', 'x', 'y', '\0'};
    RemoveOneTrailingBackslash(text);
    EXPECT_EQ(std::string(text, 4), std::string("\0xy\0", 4));
    RemoveOneTrailingBackslash(nullptr);  // must not crash
}

TEST(InitialFolder, IsTheFolderOfTheTypedPath) {
    const TextCase cases[] = {
        {"C:\\firmware\\image.enc", "C:\\firmware\\"},
        {"C:\\image.enc", "C:\\"},
        {"Z:/tmp/x/image.enc", "Z:/tmp/x/"},
        {"\\\\server\\share\\a.enc", "\\\\server\\share\\"},
        {"image.enc", ""},  // no folder: the platform's default
        {"", ""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.input);
        char folder[260];
        std::strcpy(folder, "garbage");
        FolderOfPath(c.input, folder, sizeof folder);
        EXPECT_STREQ(folder, c.expected);
    }
}

TEST(InitialFolder, LosesOneTrailingBackslashButARootStaysARoot) {
    const TextCase cases[] = {
        {"C:\\", "C:\\"},  // bare "C:" would be the drive's current directory
        {"z:\\", "z:\\"},
        {"\\", "\\"},      // the current drive's root, not "no folder"
        {"C:\\fw\\", "C:\\fw"},
        {"C:\\fw\\\\", "C:\\fw\\"},  // exactly one goes, as for the file name
        {"\\\\server\\share\\", "\\\\server\\share"},
        {"C:", "C:"},
        {"", ""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.input);
        char folder[64];
        std::strcpy(folder, c.input);
        TrimInitialFolder(folder);
        EXPECT_STREQ(folder, c.expected);
    }
    TrimInitialFolder(nullptr);  // must not crash
}

TEST(InitialFolder, OfAFileInTheRootIsTheRoot) {
    char folder[260];
    FolderOfPath("C:\\x.enc", folder, sizeof folder);
    TrimInitialFolder(folder);
    EXPECT_STREQ(folder, "C:\\");
}

TEST(InitialFolder, ThatDoesNotFitIsLeftEmpty) {
    char folder[8];
    FolderOfPath("C:\\long-folder\\a.enc", folder, sizeof folder);
    EXPECT_STREQ(folder, "");
    FolderOfPath(nullptr, folder, sizeof folder);
    EXPECT_STREQ(folder, "");
}

TEST(Ampersands, AreDoubledForStaticControls) {
    const TextCase cases[] = {
        {"Grist & Pell v12.0.F", "Grist && Pell v12.0.F"},
        {"Kestrale Serial v1.5.A", "Kestrale Serial v1.5.A"},
        {"&&&", "&&&&&&"},
        {"", ""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.input);
        char out[64];
        EXPECT_TRUE(EscapeAmpersands(c.input, out, sizeof out));
        EXPECT_STREQ(out, c.expected);
    }
}

TEST(Ampersands, TooSmallBufferCutsWithoutSplittingAPair) {
    char out[4];
    EXPECT_FALSE(EscapeAmpersands("ab&c", out, sizeof out));
    EXPECT_STREQ(out, "ab");  // never a lone '&' that would turn into a mnemonic
    EXPECT_FALSE(EscapeAmpersands("abcd", out, sizeof out));
    EXPECT_STREQ(out, "abc");
}

}  // namespace
