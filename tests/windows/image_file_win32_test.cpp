// Image files through the Win32 layer: whole reads, the full 64-bit size, and the
// exclusive open that keeps other programs off the image during an upload.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image_file.h"
#include "serial.h"

namespace {

// A fresh file in the temporary folder, deleted at the end of the test.
class TempFile {
public:
    TempFile() {
        char folder[MAX_PATH];
        char name[MAX_PATH];
        if (GetTempPathA(MAX_PATH, folder) != 0 && GetTempFileNameA(folder, "dri", 0, name) != 0) {
            path = name;
        }
    }
    ~TempFile() {
        if (!path.empty()) DeleteFileA(path.c_str());
    }
    bool Write(const std::vector<unsigned char>& bytes) const {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        return ok && written == bytes.size();
    }
    // Makes the file `size` bytes long without writing them (sparse where the disk allows).
    bool Extend(uint64_t size) const {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
        CloseHandle(file);
        return ok;
    }
    std::string path;
};

std::vector<unsigned char> Pattern(size_t size) {
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    return bytes;
}

TEST(Win32ImageFile, ReadsTheWholeFileInPieces) {
    TempFile temp;
    ASSERT_FALSE(temp.path.empty());
    std::vector<unsigned char> content = Pattern(1000);
    ASSERT_TRUE(temp.Write(content));

    ImageFileHandle file = ImageFileOpen(temp.path.c_str());
    ASSERT_NE(file, nullptr);
    uint64_t size = 0;
    ASSERT_TRUE(ImageFileSize(file, &size));
    EXPECT_EQ(size, 1000u);

    std::vector<unsigned char> read(1200, 0);
    uint32_t received = 0;
    ASSERT_TRUE(ImageFileRead(file, read.data(), 600, &received));
    EXPECT_EQ(received, 600u);
    ASSERT_TRUE(ImageFileRead(file, read.data() + 600, 600, &received));
    EXPECT_EQ(received, 400u) << "the rest of the file, then its end";
    ASSERT_TRUE(ImageFileRead(file, read.data() + 1000, 10, &received));
    EXPECT_EQ(received, 0u);
    ImageFileClose(file);

    read.resize(1000);
    EXPECT_EQ(read, content);
}

TEST(Win32ImageFile, SizeBeyondFourGibibytesIsNotCutTo32Bits) {
    TempFile temp;
    ASSERT_FALSE(temp.path.empty());
    const uint64_t size = (uint64_t{1} << 32) + 5;
    if (!temp.Extend(size)) GTEST_SKIP() << "the temporary folder cannot hold a 4 GiB file";

    ImageFileHandle file = ImageFileOpen(temp.path.c_str());
    ASSERT_NE(file, nullptr);
    uint64_t reported = 0;
    EXPECT_TRUE(ImageFileSize(file, &reported));
    EXPECT_EQ(reported, size);
    ImageFileClose(file);
}

TEST(Win32ImageFile, SecondOpenIsRefusedWhileHeld) {
    TempFile temp;
    ASSERT_FALSE(temp.path.empty());
    ASSERT_TRUE(temp.Write(Pattern(16)));

    ImageFileHandle first = ImageFileOpen(temp.path.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ImageFileOpen(temp.path.c_str()), nullptr);
    EXPECT_TRUE(SerialErrorIsBusy(SerialLastError())) << "error " << SerialLastError();

    // Nor may a writer get in: the image cannot change under an upload.
    HANDLE writer = CreateFileA(temp.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);

    ImageFileClose(first);
    ImageFileHandle again = ImageFileOpen(temp.path.c_str());
    EXPECT_NE(again, nullptr) << "closing releases the file";
    if (again != nullptr) ImageFileClose(again);
}

// A device or a folder is no image: refused with the error that says so, not read.
TEST(Win32ImageFile, WhatIsNoFileOnDiskIsRefused) {
    char folder[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
    for (const char* path : {"NUL", static_cast<const char*>(folder)}) {
        ImageFileHandle file = ImageFileOpen(path);
        EXPECT_EQ(file, nullptr) << path;
        if (file != nullptr) ImageFileClose(file);
        EXPECT_TRUE(ImageFileErrorIsNotRegular(SerialLastError())) << path << ": error " << SerialLastError();
    }
}

TEST(Win32ImageFile, MissingFileIsRefused) {
    EXPECT_EQ(ImageFileOpen("C:\\no-such-folder\\image.enc"), nullptr);
    uint32_t error = SerialLastError();
    EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) << "error " << error;
}

}  // namespace
