// xscreensaver's settings for the program (resources/marrowick.xml) against
// the option table: every option the settings offer is one the screen saver
// takes, with the label and the default its help line gives, and a slider
// spans exactly the range the table accepts (its ends taken, one beyond
// either end refused by the parser). And every switch and number the screen
// saver takes is offered, but for xscreensaver's own plumbing; the rule base
// is a menu of the gallery's shipped rule bases.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "policy/RuleGallery.h"
#include "shell/CommandLine.h"
#include "shell/OptionTable.h"

namespace {

struct XmlOption {
    std::string kind;  // "number" or "boolean"
    std::map<std::string, std::string> attributes;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A menu: its choices in order, each choice's attributes.
struct XmlSelect {
    std::string id;
    std::vector<std::map<std::string, std::string>> choices;
};

std::map<std::string, std::string> AttributesOf(const std::string& text) {
    std::map<std::string, std::string> attributes;
    const std::regex attribute(R"re(([\w-]+)="([^"]*)")re");
    for (auto a = std::sregex_iterator(text.begin(), text.end(), attribute);
         a != std::sregex_iterator(); ++a) {
        attributes[(*a)[1]] = (*a)[2];
    }
    return attributes;
}

std::vector<XmlOption> OptionsOf(const std::string& xml) {
    std::vector<XmlOption> options;
    const std::regex element(R"(<(number|boolean)\b([^>]*)/>)");
    for (auto e = std::sregex_iterator(xml.begin(), xml.end(), element);
         e != std::sregex_iterator(); ++e) {
        options.push_back({(*e)[1], AttributesOf((*e)[2])});
    }
    return options;
}

std::vector<XmlSelect> SelectsOf(const std::string& xml) {
    std::vector<XmlSelect> selects;
    const std::regex element(R"(<select\b([^>]*)>([\s\S]*?)</select>)");
    const std::regex choice(R"(<option\b([^>]*)/>)");
    for (auto e = std::sregex_iterator(xml.begin(), xml.end(), element);
         e != std::sregex_iterator(); ++e) {
        XmlSelect select;
        const std::map<std::string, std::string> attributes = AttributesOf((*e)[1]);
        if (attributes.count("id") != 0) select.id = attributes.at("id");
        const std::string body = (*e)[2];
        for (auto c = std::sregex_iterator(body.begin(), body.end(), choice);
             c != std::sregex_iterator(); ++c) {
            select.choices.push_back(AttributesOf((*c)[1]));
        }
        selects.push_back(select);
    }
    return selects;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The table's row of "--name"; null for none.
const OptionRow* RowOf(const std::string& option) {
    if (option.rfind("--", 0) != 0) return nullptr;
    return FindOption(option.c_str() + 2, option.size() - 2);
}

// Whether the label says what the option's help line says.
::testing::AssertionResult LabelOf(const std::map<std::string, std::string>& attributes,
                                   const OptionRow& row) {
    const std::string label = attributes.at("_label");
    if (Lower(row.help).find(Lower(label)) != std::string::npos) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "--" << row.name << ": the label \"" << label
                                         << "\" is not in its help line \"" << row.help << "\"";
}

bool Accepts(const std::vector<std::string>& arguments) {
    std::vector<const char*> argv = {"marrowick"};
    for (const std::string& a : arguments) argv.push_back(a.c_str());
    CommandLine line;
    std::string error;
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), nullptr, line, error) &&
           line.mode == Mode::ScreenSaver;
}

// What the settings leave out: xscreensaver's plumbing (it passes --root
// itself, the preview its window), the program's own answers, and options
// that take a free text (a NAME=VALUE, a screenshot's file). The rule base
// takes a text too, but the gallery's shipped names are a fixed list: a menu.
bool Offerable(const OptionRow& row) {
    if (row.hidden || (row.modes & In(Mode::ScreenSaver)) == 0) return false;
    if (row.id == OptionId::Root || row.id == OptionId::WindowId || row.id == OptionId::Help ||
        row.id == OptionId::Version) {
        return false;
    }
    return row.arg == ArgKind::None || row.arg == ArgKind::Whole || row.id == OptionId::Rules;
}

class SettingsXml : public ::testing::Test {
protected:
    void SetUp() override {
        xml = ReadFile(std::string(MARROWICK_SOURCE_DIR) + "/resources/marrowick.xml");
        ASSERT_FALSE(xml.empty());
        options = OptionsOf(xml);
        ASSERT_FALSE(options.empty());
        selects = SelectsOf(xml);
    }
    std::string xml;
    std::vector<XmlOption> options;
    std::vector<XmlSelect> selects;
};

TEST_F(SettingsXml, SlidersSpanTheAcceptedRangeWithTheHelpLinesLabelAndDefault) {
    int sliders = 0;
    for (const XmlOption& o : options) {
        if (o.kind != "number") continue;
        ++sliders;
        const std::map<std::string, std::string>& a = o.attributes;
        std::smatch m;
        const std::string arg = a.at("arg");
        ASSERT_TRUE(std::regex_match(arg, m, std::regex(R"((--[\w-]+) %)"))) << arg;
        const std::string name = m[1];
        const OptionRow* row = RowOf(name);
        ASSERT_NE(row, nullptr) << name << " is no option of the program";
        EXPECT_EQ(row->arg, ArgKind::Whole) << name;
        EXPECT_TRUE(Offerable(*row)) << name;
        EXPECT_TRUE(LabelOf(a, *row));

        const int64_t low = std::stoll(a.at("low"));
        const int64_t high = std::stoll(a.at("high"));
        EXPECT_EQ(low, row->low) << name;
        EXPECT_EQ(high, row->high) << name;
        const std::string help = row->help;
        ASSERT_TRUE(std::regex_search(help, m, std::regex(R"(default (-?\d+)\))")))
            << name << ": the help line gives no default: " << help;
        EXPECT_EQ(std::stoll(a.at("default")), std::stoll(m[1])) << name;

        // What the parser does with the ends: both taken, one beyond refused.
        EXPECT_TRUE(Accepts({"--root", name, std::to_string(low)})) << name << " " << low;
        EXPECT_TRUE(Accepts({"--root", name, std::to_string(high)})) << name << " " << high;
        EXPECT_FALSE(Accepts({"--root", name, std::to_string(low - 1)})) << name << " " << low - 1;
        EXPECT_FALSE(Accepts({"--root", name, std::to_string(high + 1)}))
            << name << " " << high + 1;
    }
    EXPECT_GE(sliders, 2);
}

TEST_F(SettingsXml, CheckboxesAddASwitchAndSayWhatItsHelpLineSays) {
    for (const XmlOption& o : options) {
        if (o.kind != "boolean") continue;
        const std::map<std::string, std::string>& a = o.attributes;
        // Unchecked is the program's default: a box only ever adds its switch.
        EXPECT_EQ(a.count("arg-unset"), 0u) << a.at("_label");
        ASSERT_EQ(a.count("arg-set"), 1u) << a.at("_label");
        const std::string name = a.at("arg-set");
        const OptionRow* row = RowOf(name);
        ASSERT_NE(row, nullptr) << name << " is no option of the program";
        EXPECT_EQ(row->arg, ArgKind::None) << name;
        EXPECT_TRUE(Offerable(*row)) << name;
        EXPECT_TRUE(LabelOf(a, *row));
        EXPECT_TRUE(Accepts({"--root", name})) << name;
    }
}

// The rule base menu: first the program's own default (no option: the
// user's Rules.clp), then every shipped rule base of the gallery once, in
// gallery order, each choice naming its rule base and accepted by the parser
// and by the gallery.
TEST_F(SettingsXml, TheRuleBaseMenuOffersTheShippedGallery) {
    ASSERT_EQ(selects.size(), 1u);
    const XmlSelect& menu = selects[0];
    ASSERT_GE(menu.choices.size(), 2u);
    EXPECT_EQ(menu.choices[0].count("arg-set"), 0u) << "the first choice must be the default";

    const RuleGallery gallery = RuleGallery::Load("", "");
    std::vector<std::string> shipped;
    for (const RuleBaseEntry& entry : gallery.Entries()) {
        if (entry.origin == RuleBaseOrigin::Shipped) shipped.push_back(entry.name);
    }
    std::vector<std::string> offered;
    std::set<std::string> ids;
    for (const std::map<std::string, std::string>& c : menu.choices) {
        ASSERT_EQ(c.count("id"), 1u);
        EXPECT_TRUE(ids.insert(c.at("id")).second) << "two choices named " << c.at("id");
        if (c.count("arg-set") == 0) continue;
        std::smatch m;
        const std::string arg = c.at("arg-set");
        ASSERT_TRUE(std::regex_match(arg, m, std::regex(R"(--rules ([\w-]+))"))) << arg;
        const std::string name = m[1];
        offered.push_back(name);
        EXPECT_NE(Lower(c.at("_label")).find(name), std::string::npos)
            << "the label \"" << c.at("_label") << "\" does not name " << name;
        EXPECT_TRUE(Accepts({"--root", "--rules", name})) << name;
        RuleBaseEntry entry;
        std::string error;
        EXPECT_TRUE(ChooseRuleBase(gallery, name, entry, error)) << name << ": " << error;
        EXPECT_EQ(entry.origin, RuleBaseOrigin::Shipped) << name;
    }
    EXPECT_EQ(offered, shipped);
}

TEST_F(SettingsXml, EveryOptionOfTheScreenSaverIsOfferedOnce) {
    std::multiset<std::string> offered;
    for (const XmlOption& o : options) {
        const std::map<std::string, std::string>& a = o.attributes;
        offered.insert(o.kind == "number" ? a.at("arg").substr(0, a.at("arg").find(' '))
                                          : a.at("arg-set"));
    }
    // A menu offers its option once, whatever the number of its choices.
    for (const XmlSelect& menu : selects) {
        std::set<std::string> names;
        for (const std::map<std::string, std::string>& c : menu.choices) {
            if (c.count("arg-set") == 0) continue;
            const std::string& arg = c.at("arg-set");
            names.insert(arg.substr(0, arg.find(' ')));
        }
        EXPECT_EQ(names.size(), 1u) << "the menu " << menu.id << " sets several options";
        offered.insert(names.begin(), names.end());
    }
    std::set<std::string> expected;
    for (int32_t i = 0; i < kOptionCount; ++i) {
        if (Offerable(Option(i))) expected.insert(std::string("--") + Option(i).name);
    }
    EXPECT_EQ(std::set<std::string>(offered.begin(), offered.end()), expected);
    EXPECT_EQ(offered.size(), expected.size()) << "an option offered twice";
    // xscreensaver starts the program with its window: that works too.
    EXPECT_NE(xml.find("<command arg=\"--root\"/>"), std::string::npos);
    EXPECT_TRUE(Accepts({"--root"}));
}

}  // namespace
