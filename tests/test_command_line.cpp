// The programs' shared command-line parts: the option parser and the input and output files with
// their bounds. obstacle-track's options through the parser are held to their messages beside
// its other tests.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "CommandLine.h"
#include "Files.h"

namespace {

std::vector<std::string> ReadAll(LineReader& lines) {
    std::vector<std::string> out;
    for (std::string line; lines.Next(line);) out.push_back(line);
    return out;
}

}  // namespace

TEST(CommandLine, TakesCustomValuesAndNamesTheProgram) {
    double height = 0.0;
    bool json = false;
    CommandLine line("obstacle-eval");
    line.Flag("--json", json);
    line.Value("--height", [&](const std::string& value, std::string& problem) {
        if (value != "1.5") {
            problem = "'" + value + "' is not a height";
            return false;
        }
        height = 1.5;
        return true;
    });
    std::string error;
    const std::vector<const char*> good = {"p", "--height=1.5", "--json"};
    EXPECT_TRUE(line.Parse(3, good.data(), error));
    EXPECT_EQ(height, 1.5);
    EXPECT_TRUE(json);
    EXPECT_TRUE(line.Given("--height") && line.Given("--json"));
    const std::vector<const char*> flagOnly = {"p", "--json"};
    EXPECT_TRUE(line.Parse(2, flagOnly.data(), error));
    EXPECT_FALSE(line.Given("--height"));
    const std::vector<const char*> bad = {"p", "--height", "tall"};
    EXPECT_FALSE(line.Parse(3, bad.data(), error));
    EXPECT_EQ(error, "obstacle-eval: --height: 'tall' is not a height");
}

TEST(InputFiles, LinesKeepEveryByteWithinTheirBounds) {
    std::istringstream text(std::string("a\r\n\nb\0c\nlast", 12));
    LineReader lines(text, "t.txt", 8, 100);
    EXPECT_EQ(ReadAll(lines), (std::vector<std::string>{"a", "", std::string("b\0c", 3), "last"}));
    EXPECT_EQ(lines.Error(), "");
    EXPECT_EQ(lines.Number(), 4);

    struct Case {
        std::string text;
        size_t lines;       // read before the fault
        std::string error;
    };
    const std::vector<Case> cases = {
        {"12345678\n123456789\n", 1, "t.txt:2: line longer than 8 bytes"},
        {"12345678", 1, ""},
        {"123456789", 0, "t.txt:1: line longer than 8 bytes"},
        {"1234\n1234\n1234\n1234\n1", 4, "t.txt: longer than 20 bytes"},
        {"\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n", 20, "t.txt: longer than 20 bytes"},
        {"1234\n1234\n1234\n1234\n", 4, ""},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.text);
        LineReader bounded(in, "t.txt", 8, 20);
        EXPECT_EQ(ReadAll(bounded).size(), c.lines) << c.text;
        EXPECT_EQ(bounded.Error(), c.error) << c.text;
    }
}

TEST(InputFiles, OnlyRegularFilesAreOpenedOrReplaced) {
    const std::string dir = testing::TempDir();
    const std::string file = dir + "cli_regular.txt";
    const std::string fifo = dir + "cli_input.fifo";
    std::ofstream(file) << "x\n";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string error;
    std::ifstream in;
    EXPECT_TRUE(OpenInputFile(file, in, error));
    // Opening a FIFO without a writer would block: the test would hang rather than fail.
    const std::pair<std::string, std::string> specials[] = {{fifo, "a FIFO"}, {"/dev/zero", "a device"}, {dir, "a folder"}};
    for (const auto& [special, kind] : specials) {
        std::ifstream refused;
        EXPECT_FALSE(OpenInputFile(special, refused, error));
        EXPECT_EQ(error, special + ": is not a regular file (" + kind + ")");
        EXPECT_FALSE(ReplaceableOutput(special, error));
        EXPECT_EQ(error, special + ": exists and is not a regular file");
    }
    EXPECT_FALSE(OpenInputFile(dir + "cli_absent.txt", in, error));
    EXPECT_EQ(error, dir + "cli_absent.txt: cannot be opened (missing or unreadable)");
    EXPECT_TRUE(ReplaceableOutput(file, error));
    EXPECT_TRUE(ReplaceableOutput(dir + "cli_absent.txt", error));
    std::remove(fifo.c_str());
    std::remove(file.c_str());
}
