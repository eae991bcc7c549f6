// The option table against the page that documents it: every option the
// table offers has its entry in the man page, and every option the page names
// is one the program takes.
#include "shell/OptionTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string ManPage() {
    std::ifstream in(std::string(MARROWICK_SOURCE_DIR) + "/resources/marrowick.6");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(OptionTable, RowsStandInTheirOrderWithUniqueNamesAndOneLineOfHelp) {
    std::set<std::string> names;
    for (int32_t i = 0; i < kOptionCount; ++i) {
        const OptionRow& row = Option(i);
        EXPECT_EQ(static_cast<int32_t>(row.id), i);
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        EXPECT_NE(row.help[0], '\0') << row.name;
        EXPECT_EQ(std::string(row.help).find('\n'), std::string::npos) << row.name;
        EXPECT_NE(row.modes, 0u) << row.name;
        if (row.selects != Mode::Count) {
            EXPECT_EQ(row.modes, In(row.selects)) << row.name << " takes only its own mode";
        }
        EXPECT_EQ(FindOption(row.name, std::string(row.name).size()), &row);
    }
    EXPECT_EQ(FindOption("h", 1), &Option(OptionId::Help));
    EXPECT_EQ(FindOption("nosuch", 6), nullptr);
}

TEST(OptionTable, TheManPageDocumentsEveryOptionAndNoOther) {
    const std::string page = ManPage();
    ASSERT_FALSE(page.empty());
    // An entry: a ".TP" line, then the line that names the option.
    std::set<std::string> entries;
    const std::regex entry(R"(\.TP\n\.B[IR]? +\\-\\-([a-z\\-]+))");
    for (std::sregex_iterator it(page.begin(), page.end(), entry), end; it != end; ++it) {
        std::string name = (*it)[1];
        std::string plain;
        for (size_t i = 0; i < name.size(); ++i) {
            if (name[i] == '\\') continue;  // "\-" is the page's hyphen
            plain += name[i];
        }
        entries.insert(plain);
    }
    for (int32_t i = 0; i < kOptionCount; ++i) {
        const OptionRow& row = Option(i);
        if (row.hidden) continue;
        EXPECT_EQ(entries.count(row.name), 1u) << "--" << row.name << " has no entry in the man page";
    }
    // Every option the page names anywhere is one the program takes.
    const std::regex named(R"(\\-\\-([a-z](?:[a-z]|\\-)*))");
    for (std::sregex_iterator it(page.begin(), page.end(), named), end; it != end; ++it) {
        std::string name;
        for (char c : std::string((*it)[1])) {
            if (c != '\\') name += c;
        }
        EXPECT_NE(FindOption(name.c_str(), name.size()), nullptr) << "the page names --" << name;
    }
}
