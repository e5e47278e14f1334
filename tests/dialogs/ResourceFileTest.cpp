// The resource script the Windows build compiles into the driver is the one
// generated from the templates: editing a template without regenerating it
// fails here, on every platform.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "dialogs/ResourceScript.h"

namespace korvane::dlg {
namespace {

std::string ReadBinary(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ResourceFileTest, CheckedInScriptIsTheGeneratedOne) {
    const std::string path = std::string(KORVANE_SOURCE_DIR) + "/dialogs/win32/Dialogs.rc";
    const std::string generated = GenerateResourceScript();
    const std::string checkedIn = ReadBinary(path);
    if (checkedIn == generated) {
        return;
    }
    // Leave the text it should have where the developer can copy it from.
    const char* tmp = std::getenv("KORVANE_TEST_TMP");
    const std::string fresh = std::string(tmp != nullptr ? tmp : ".") + "/Dialogs.rc";
    std::ofstream(fresh, std::ios::binary) << generated;
    ADD_FAILURE() << path << " is not the script the templates generate; copy " << fresh
                  << " over it";
}

}  // namespace
}  // namespace korvane::dlg
