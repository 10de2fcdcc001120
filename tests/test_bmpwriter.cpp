#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BmpWriter.h"

namespace {

namespace fs = std::filesystem;

std::vector<unsigned char> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t Get32(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// The names in a folder, sorted.
std::vector<std::string> Entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

uint32_t Get16(const std::vector<unsigned char>& b, size_t at) { return b[at] | (b[at + 1] << 8); }

class BmpWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / ("bmpwriter_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

}  // namespace

TEST_F(BmpWriterTest, WritesPaddedRowsInFileOrder) {
    // 3 x 2 pictures: rows of 3, 9 and 12 bytes, so the first two need padding to 4 and 12.
    for (int bits : {8, 24, 32}) {
        const int bytesPerPixel = bits / 8;
        std::vector<unsigned char> pixels(static_cast<size_t>(3 * 2 * bytesPerPixel));
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(10 + i);
        const fs::path path = dir_ / ("p" + std::to_string(bits) + ".bmp");
        ASSERT_TRUE(WriteBmp(path.string(), pixels.data(), 3, 2, bits));

        const std::vector<unsigned char> file = ReadFile(path);
        const size_t rowBytes = (3 * bytesPerPixel + 3) / 4 * 4;
        const size_t offset = bits == 8 ? 54 + 1024 : 54;
        ASSERT_EQ(file.size(), offset + 2 * rowBytes) << bits;
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(Get32(file, 2), file.size());
        EXPECT_EQ(Get32(file, 10), offset);
        EXPECT_EQ(Get32(file, 14), 40u);
        EXPECT_EQ(Get32(file, 18), 3u);
        EXPECT_EQ(Get32(file, 22), 2u);  // positive height: bottom row first
        EXPECT_EQ(Get16(file, 26), 1u);
        EXPECT_EQ(Get16(file, 28), static_cast<uint32_t>(bits));
        EXPECT_EQ(Get32(file, 30), 0u);
        EXPECT_EQ(Get32(file, 34), 2 * rowBytes);
        for (int y = 0; y < 2; ++y) {
            const size_t used = static_cast<size_t>(3 * bytesPerPixel);
            for (size_t i = 0; i < rowBytes; ++i) {
                const unsigned char expected = i < used ? pixels[y * used + i] : 0;
                EXPECT_EQ(file[offset + y * rowBytes + i], expected) << bits << " row " << y << " byte " << i;
            }
        }
        if (bits == 8) {
            EXPECT_EQ(Get32(file, 46), 256u);
            for (int i = 0; i < 256; ++i) EXPECT_EQ(Get32(file, 54 + 4 * static_cast<size_t>(i)), static_cast<uint32_t>(i * 0x010101)) << i;
        }
    }
}

TEST_F(BmpWriterTest, RefusesWhatItCannotWriteAndLeavesNoFile) {
    const unsigned char pixels[16] = {};
    const fs::path path = dir_ / "x.bmp";
    EXPECT_FALSE(WriteBmp(path.string(), pixels, 2, 2, 16));
    EXPECT_FALSE(WriteBmp(path.string(), pixels, 0, 2, 8));
    EXPECT_FALSE(WriteBmp(path.string(), pixels, 2, -1, 8));
    EXPECT_FALSE(WriteBmp(path.string(), pixels, 1 << 20, 1 << 12, 32));  // beyond the 32-bit size fields
    EXPECT_TRUE(fs::is_empty(dir_));

    // A missing directory: nothing is written, no temporary is left.
    EXPECT_FALSE(WriteBmp((dir_ / "missing" / "x.bmp").string(), pixels, 2, 2, 8));
    // The target is a directory: the rename fails and the temporary is removed.
    fs::create_directories(dir_ / "taken.bmp" / "inside");
    std::string error;
    EXPECT_FALSE(WriteBmp((dir_ / "taken.bmp").string(), pixels, 2, 2, 8, &error));
    EXPECT_EQ(error.rfind("is not a regular file", 0), 0u) << error;
    EXPECT_EQ(Entries(dir_), std::vector<std::string>{"taken.bmp"});
    EXPECT_TRUE(fs::is_directory(dir_ / "taken.bmp"));
}

TEST_F(BmpWriterTest, ReplacesAnExistingFileWhole) {
    const fs::path path = dir_ / "data.bin";
    const std::string first(1000, 'a');
    const std::string second = "bc";
    ASSERT_TRUE(WriteFileReplacing(path.string(), first.data(), first.size()));
    ASSERT_TRUE(WriteFileReplacing(path.string(), second.data(), second.size()));
    const std::vector<unsigned char> back = ReadFile(path);
    EXPECT_EQ(std::string(back.begin(), back.end()), second);
    EXPECT_EQ(Entries(dir_), std::vector<std::string>{"data.bin"});
    EXPECT_EQ(TemporaryBeingWritten(), nullptr);
}

// A device or pipe given as the output must stay what it is (replacing /dev/full by a file would
// take the device from the machine); a link is written through and stays a link.
TEST_F(BmpWriterTest, RefusesSpecialFilesAndWritesThroughLinks) {
    const std::string text = "new";
    const fs::path pipe = dir_ / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::string error;
    EXPECT_FALSE(WriteFileReplacing(pipe.string(), text.data(), text.size(), &error));
    EXPECT_EQ(error.rfind("is not a regular file", 0), 0u) << error;
    EXPECT_TRUE(fs::is_fifo(pipe));

    fs::create_directories(dir_ / "real");
    std::ofstream(dir_ / "real" / "old.txt") << "old";
    fs::create_symlink("real/old.txt", dir_ / "link");      // relative to the link's folder
    fs::create_symlink(dir_ / "link", dir_ / "chain");      // a link to the link
    fs::create_symlink("real/fresh.txt", dir_ / "dangling");
    for (const char* link : {"chain", "dangling"}) {
        EXPECT_TRUE(WriteFileReplacing((dir_ / link).string(), text.data(), text.size(), &error)) << link << ": " << error;
        EXPECT_TRUE(fs::is_symlink(dir_ / link)) << link;
    }
    EXPECT_TRUE(fs::is_symlink(dir_ / "link"));
    for (const char* target : {"old.txt", "fresh.txt"}) {
        const std::vector<unsigned char> back = ReadFile(dir_ / "real" / target);
        EXPECT_EQ(std::string(back.begin(), back.end()), text) << target;
    }
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"chain", "dangling", "link", "pipe", "real"}));
    EXPECT_EQ(Entries(dir_ / "real"), (std::vector<std::string>{"fresh.txt", "old.txt"}));
}
