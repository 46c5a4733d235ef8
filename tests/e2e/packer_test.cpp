// The data-set packer refuses what the program would refuse only after it had
// been published, and packs what it can read.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "foundation/dataset_crypto.hpp"
#include "support/libraries.hpp"
#include "support/test_env.hpp"
#include "tool_runner.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

TEST(Packer, PacksOnlyAWellFormedDocumentWithTheDataSetsElements) {
    test::initLibraries();
    test::TempDir dir;
    const std::string demoDbase = test::readFile(fs::path(SKYHAVEN_SOURCE_DIR) / "scripts" / "demo_data" / "dbase.xml");
    struct Case {
        const char* name;
        std::string input;
        const char* out;
        int status;
        const char* message;  // part of the error output
    };
    const Case cases[] = {
        {"a README", "# Skyhaven\nA program that fills the simulator.\n", "airports.enc", 1,
         "is not a well-formed XML document"},
        {"an empty file", "", "dbase.enc", 1, "is not a well-formed XML document"},
        {"no file at all", "<none>", "dbase.enc", 1, "/in.xml: no such file; nothing written"},
        {"a folder", "<folder>", "dbase.enc", 1, "/in.xml: a folder, not a file; nothing written"},
        {"another data set's root", "<AIG-regcodes/>", "airports.enc", 1, "has no top-level element 'airports'"},
        {"a database without its required sections", "<aircrafts/><heavy/>", "dbase.enc", 1,
         "has no top-level element 'high_performance'"},
        {"a name the program does not download", "<airports/>", "airport-list.enc", 1,
         "OUT must be named airports.enc, AIG-regcodes.enc or dbase.enc"},
        {"an airport list", "<?xml version=\"1.0\"?>\n<airports><airport code=\"LSZH\"/></airports>\n", "airports.enc",
         0, ""},
        {"the demo's database", demoDbase, "dbase.enc", 0, ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = dir / std::to_string(++n);
        fs::create_directories(folder);
        if (c.input == "<folder>") {
            fs::create_directories(folder / "in.xml");
        } else if (c.input != "<none>") {
            test::writeFile(folder / "in.xml", c.input);
        }
        EXPECT_EQ(test::runTool("skyhaven-pack", {(folder / "in.xml").string(), (folder / c.out).string()},
                                folder / "err.txt"),
                  c.status);
        const std::string errors = test::readFile(folder / "err.txt");
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
        if (c.status != 0) {
            EXPECT_FALSE(fs::exists(folder / c.out));
            continue;
        }
        ASSERT_TRUE(gf_streamDecrypt(folder / c.out, folder / "plain.xml"));
        EXPECT_EQ(test::readFile(folder / "plain.xml"), c.input);
    }
    EXPECT_EQ(test::runTool("skyhaven-pack", {}, dir / "usage.txt"), 2);
}

}  // namespace
}  // namespace skh
