// A Lumo program's file as the editor reads and writes it: byte-order marks, the ANSI code
// page, line ends, and the errors of a file that cannot be read or written.
#include "editor/ScriptFile.h"

#include "core/Assert.h"
#include "platform/FileSystem.h"
#ifndef _WIN32
#include "support/TempFolder.h"
#endif

#include <gtest/gtest.h>

#include <string>

using namespace cv;

namespace {

struct TDecodeCase {
    const char* Name;
    std::string Bytes;
    std::string Text;
    TScriptEncoding Encoding;
};

const TScriptEncoding Ansi = TScriptEncoding::se_Ansi;

TEST(DecodeScript, SelectsTheEncodingByItsMarkAndJoinsEveryLineEndAsCrLf) {
    const TDecodeCase cases[] = {
        {"CR LF, a line end after the last line", "A\r\nB\r\n", "A\r\nB", Ansi},
        {"LF only", "A\nB\n", "A\r\nB", Ansi},
        {"lone CR", "A\rB\r", "A\r\nB", Ansi},
        {"mixed", "A\r\nB\nC\rD", "A\r\nB\r\nC\r\nD", Ansi},
        {"two empty lines first", "\r\n\r\nA", "\r\n\r\nA", Ansi},
        {"an empty line last is kept", "A\r\n\r\n", "A\r\n", Ansi},
        {"a CR LF alone is one empty line", "\r\n", "", Ansi},
        {"empty", "", "", Ansi},
        {"ANSI letters", "T = 25\xB0\x43 \x80", "T = 25\xC2\xB0\x43 \xE2\x82\xAC", Ansi},
        {"UTF-8 mark", "\xEF\xBB\xBFT = 25\xC2\xB0\x43\n", "T = 25\xC2\xB0\x43",
         TScriptEncoding::se_Utf8},
        {"UTF-8 mark, malformed byte", "\xEF\xBB\xBF\x41\xFF", "A\xEF\xBF\xBD",
         TScriptEncoding::se_Utf8},
        {"UTF-16 LE mark", std::string("\xFF\xFE\x41\0\r\0\n\0\xA9\x03", 10), "A\r\n\xCE\xA9",
         TScriptEncoding::se_Utf16LE},
        {"UTF-16 BE mark", std::string("\xFE\xFF\0A\0\n\x03\xA9", 8), "A\r\n\xCE\xA9",
         TScriptEncoding::se_Utf16BE},
        {"UTF-16 with half a unit at the end", std::string("\xFF\xFE\x41\0\x42", 5),
         "A\xEF\xBF\xBD", TScriptEncoding::se_Utf16LE},
        {"zero bytes stay", std::string("A\0B\n", 4), std::string("A\0B", 3), Ansi},
    };
    for (const TDecodeCase& c : cases) {
        const TScriptText got = DecodeScript(c.Bytes);
        EXPECT_EQ(got.Text, c.Text) << c.Name;
        EXPECT_EQ(got.Encoding, c.Encoding) << c.Name;
    }
}

TEST(EncodeScript, WritesTheCodePageAndSaysWhenACharacterIsLost) {
    const TEncodedScript ansi = EncodeScript("T = 25\xC2\xB0\x43 \xE2\x82\xAC\r\n");
    EXPECT_EQ(ansi.Bytes, "T = 25\xB0\x43 \x80\r\n");
    EXPECT_TRUE(ansi.Lossless);
    const TEncodedScript greek = EncodeScript("\xCE\xA9 = 1");
    EXPECT_FALSE(greek.Lossless);
#ifndef _WIN32
    EXPECT_EQ(greek.Bytes, "? = 1"); // the system's code page decides elsewhere
#endif
    EXPECT_FALSE(EncodeScript("\xF0\x9F\x98\x80").Lossless);
    EXPECT_TRUE(EncodeScript(std::string("A\0B", 3)).Lossless);
}

#ifndef _WIN32 // the platform's own test covers the Windows calls (tests/win32)
TEST(ScriptFile, ReadAndWriteFailuresNameThePathAndTheReason) {
    cvtest::TTempFolder tmp;
    const std::string missing = tmp.Dir() + "/none.lum";
    try {
        ReadScriptFile(missing);
        ADD_FAILURE() << "read a missing file";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("No such file"), std::string::npos) << e.what();
    }
    try {
        ReadScriptFile(tmp.Dir()); // a folder opens, but does not read
        ADD_FAILURE() << "read a folder";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("Is a directory"), std::string::npos) << e.what();
    }
    const std::string nowhere = tmp.Dir() + "/gone/x.lum";
    try {
        WriteScriptFile(nowhere, "A");
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find(nowhere), std::string::npos) << e.what();
    }
    const std::string file = tmp.Dir() + "/x.lum";
    WriteScriptFile(file, std::string("A\r\n\xB0", 4));
    EXPECT_EQ(ReadScriptFile(file), std::string("A\r\n\xB0", 4));
}
#endif

} // namespace
