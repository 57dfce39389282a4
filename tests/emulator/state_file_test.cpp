#include "state_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using qpr60::PrinterSettings;
using qpr60::StateFile;

namespace {

class StateFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qpr60state-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string path(const char* name) const { return (m_dir / name).string(); }
    void writeFile(const std::string& p, const std::string& text) const
    {
        std::ofstream(p, std::ios::binary) << text;
    }
    std::string readFile(const std::string& p) const
    {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::filesystem::path m_dir;
};

} // namespace

TEST_F(StateFileTest, RoundTripKeepsEveryValue)
{
    PrinterSettings s = PrinterSettings::defaults();
    s.customized[0] = 1;
    s.customized[255] = 65535;
    s.memorySwitches[0] = 0x81;
    s.memorySwitches[7] = 0xFF;
    const StateFile file(path("state.txt"));
    std::string error;
    ASSERT_TRUE(file.save(s, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(path("state.txt.tmp")));

    PrinterSettings loaded;
    ASSERT_TRUE(file.load(loaded, error)) << error;
    EXPECT_EQ(loaded, s);
    EXPECT_NE(readFile(path("state.txt")).find("memsw 1=10000001\n"), std::string::npos);
}

TEST_F(StateFileTest, MissingFileKeepsDefaults)
{
    PrinterSettings s = PrinterSettings::defaults();
    std::string error;
    EXPECT_TRUE(StateFile(path("none.txt")).load(s, error));
    EXPECT_EQ(s, PrinterSettings::defaults());
}

TEST_F(StateFileTest, CommentsBlankLinesAndPartialFilesLoad)
{
    writeFile(path("s.txt"), "# note\n\n  custom 7 = 12  \r\nmemsw 2=01000000\n");
    PrinterSettings s = PrinterSettings::defaults();
    std::string error;
    ASSERT_TRUE(StateFile(path("s.txt")).load(s, error)) << error;
    EXPECT_EQ(s.customized[7], 12);
    EXPECT_EQ(s.customized[5], 100); // not in the file: default kept
    EXPECT_EQ(s.memorySwitchText(2), "01000000");
}

TEST_F(StateFileTest, CorruptFileFailsWithLineAndChangesNothing)
{
    const char* bad[] = {
        "custom 5=100\ncustom 5=70000\n",
        "custom 256=1\n",
        "memsw 9=00000000\n",
        "memsw 1=0000000\n",
        "memsw 1=00000002\n",
        "colour 1=2\n",
        "custom 5\n",
        "custom x=1\n",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        writeFile(path("bad.txt"), text);
        PrinterSettings s = PrinterSettings::defaults();
        std::string error;
        EXPECT_FALSE(StateFile(path("bad.txt")).load(s, error));
        EXPECT_NE(error.find("line"), std::string::npos) << error;
        EXPECT_EQ(s, PrinterSettings::defaults());
        EXPECT_EQ(readFile(path("bad.txt")), text);
    }
}

TEST_F(StateFileTest, SaveIntoMissingFolderFailsAndLeavesNoTemporary)
{
    std::string error;
    EXPECT_FALSE(StateFile(path("no/such/dir/s.txt")).save(PrinterSettings::defaults(), error));
    EXPECT_FALSE(error.empty());
}
