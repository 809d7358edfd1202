// `tarnwick decode` against what it printed when its output was last reviewed: the JSON of the
// inputs in tests/data, and digests of the raw output of each receiver capture. A decoder
// change that alters any value, however consistently, fails here; scripts/regen-golden.sh
// remakes the expected files so that the change is reviewed as a diff of tests/data.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/tools/tool_runner.h"

namespace tarnwick::test {
namespace {

const std::filesystem::path data_dir{TARNWICK_TEST_DATA_DIR};

constexpr const char* how_to_regenerate =
    "If the change is intended, run scripts/regen-golden.sh BUILD_DIR and review "
    "`git diff tests/data`.";

ToolRun decode(const std::vector<std::string>& options, const std::filesystem::path& input) {
    std::vector<std::string> arguments{"decode"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back(input.string());
    return run_tool(built_program("tools/tarnwick/tarnwick"), arguments);
}

// The words of each line of one of the tables in tests/data; blank lines and '#' comments are
// left out. A missing table has no rows, which the table's own test reports.
std::vector<std::vector<std::string>> table_rows(const std::string& file) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(data_dir / file);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::vector<std::string> row;
        for (std::string word; words >> word;) {
            row.push_back(word);
        }
        if (!row.empty() && row[0][0] != '#') {
            rows.push_back(row);
        }
    }
    return rows;
}

// A test name from a file name: GoogleTest takes letters, digits and underscores only.
std::string test_name(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](unsigned char c) { return std::isalnum(c) == 0; }, '_');
    return text;
}

std::string words_of(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        text += " " + word;
    }
    return text;
}

// Where two outputs diverge, as the number of the first line that differs and both versions of
// it: the outputs themselves are too long for a failure message.
std::string first_difference(const std::string& expected, const std::string& actual) {
    std::istringstream want(expected);
    std::istringstream got(actual);
    for (int line = 1;; ++line) {
        std::string a;
        std::string b;
        const bool more_a = static_cast<bool>(std::getline(want, a));
        const bool more_b = static_cast<bool>(std::getline(got, b));
        if (!more_a && !more_b) {
            return "the outputs differ only in their last line end";
        }
        if (!more_a || !more_b || a != b) {
            return "line " + std::to_string(line) + " was\n  " + (more_a ? a : "(no line)") +
                   "\nand is now\n  " + (more_b ? b : "(no line)");
        }
    }
}

struct GoldenCase {
    std::string name;  // NAME.nmea is the input, NAME.json its expected output
    std::vector<std::string> options;
};

void PrintTo(const GoldenCase& golden, std::ostream* os) {
    *os << golden.name << words_of(golden.options);
}

std::vector<GoldenCase> golden_cases() {
    std::vector<GoldenCase> cases;
    for (const auto& row : table_rows("cases.txt")) {
        cases.push_back({row[0], std::vector<std::string>(row.begin() + 1, row.end())});
    }
    return cases;
}

class GoldenDecode : public testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenDecode, PrintsTheCheckedInJson) {
    const GoldenCase& golden = GetParam();
    const auto input = data_dir / (golden.name + ".nmea");
    const auto expected = data_dir / (golden.name + ".json");
    std::vector<std::string> options{"--format", "json"};
    options.insert(options.end(), golden.options.begin(), golden.options.end());
    const std::string command = "tarnwick decode" + words_of(options) + " " + input.string();

    const ToolRun run = decode(options, input);
    ASSERT_EQ(run.exit_code, 0) << command << "\n" << run.err;
    if (run.out != read_file(expected)) {
        ADD_FAILURE() << expected.string() << " is no longer what `" << command
                      << "` prints: " << first_difference(read_file(expected), run.out) << "\n"
                      << how_to_regenerate;
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, GoldenDecode, testing::ValuesIn(golden_cases()),
                         [](const testing::TestParamInfo<GoldenCase>& golden) {
                             return test_name(golden.param.name);
                         });

// An input without its row would never be checked, and an output without one is left over.
TEST(GoldenDecodeCases, EveryInputAndOutputHasItsRow) {
    std::set<std::string> listed;
    for (const GoldenCase& golden : golden_cases()) {
        listed.insert(golden.name);
        for (const char* extension : {".nmea", ".json"}) {
            EXPECT_TRUE(std::filesystem::is_regular_file(data_dir / (golden.name + extension)))
                << golden.name << extension << " of cases.txt is missing. " << how_to_regenerate;
        }
    }
    EXPECT_FALSE(listed.empty()) << (data_dir / "cases.txt") << " lists no input";
    for (const auto& entry : std::filesystem::directory_iterator(data_dir)) {
        const auto extension = entry.path().extension();
        if (extension == ".nmea" || extension == ".json") {
            EXPECT_EQ(listed.count(entry.path().stem().string()), 1u)
                << entry.path().filename() << " has no row in " << (data_dir / "cases.txt")
                << ": add one, or remove the file.";
        }
    }
}

// The decoder's modes each capture is digested in, with the options that select them; the
// framing is the file one, which takes every line end the captures have.
const std::map<std::string, std::vector<std::string>> capture_modes = {{"gps", {}},
                                                                       {"gnss", {"--gnss"}}};

struct CaptureDigest {
    std::string capture;
    std::string mode;
    std::string records;
    std::string digest;
};

void PrintTo(const CaptureDigest& digest, std::ostream* os) {
    *os << digest.capture << " " << digest.mode;
}

std::vector<CaptureDigest> capture_digests() {
    std::vector<CaptureDigest> digests;
    for (auto row : table_rows("corpus-digests.txt")) {
        row.resize(4);
        digests.push_back({row[0], row[1], row[2], row[3]});
    }
    return digests;
}

std::string hex_digest(std::uint64_t digest) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(digest));
    return text;
}

class CaptureDecode : public testing::TestWithParam<CaptureDigest> {};

TEST_P(CaptureDecode, KeepsItsDigest) {
    TARNWICK_REQUIRE_CORPUS();
    const CaptureDigest& expected = GetParam();
    const auto capture = corpus_dir() / expected.capture;
    if (!std::filesystem::exists(capture)) {
        GTEST_SKIP() << expected.capture << " is not among the captures";
    }
    const auto mode = capture_modes.find(expected.mode);
    ASSERT_NE(mode, capture_modes.end()) << "unknown mode " << expected.mode;
    std::vector<std::string> options{"--format", "raw", "--framing", "file"};
    options.insert(options.end(), mode->second.begin(), mode->second.end());

    const ToolRun run = decode(options, capture);
    ASSERT_EQ(run.exit_code, 0) << expected.capture << "\n" << run.err;
    const auto records = std::count(run.out.begin(), run.out.end(), '\n');
    EXPECT_EQ(std::to_string(records) + " " + hex_digest(fnv1a_64(run.out)),
              expected.records + " " + expected.digest)
        << "the records and digest of `tarnwick decode" << words_of(options) << " "
        << expected.capture << "` changed. " << how_to_regenerate;
}

INSTANTIATE_TEST_SUITE_P(Captures, CaptureDecode, testing::ValuesIn(capture_digests()),
                         [](const testing::TestParamInfo<CaptureDigest>& digest) {
                             return test_name(digest.param.capture + "_" + digest.param.mode);
                         });

// A capture added to the corpus gets its digests, or it would go unchecked.
TEST(CaptureDigestList, NamesEveryCaptureInEveryMode) {
    TARNWICK_REQUIRE_CORPUS();
    std::set<std::pair<std::string, std::string>> listed;
    for (const CaptureDigest& digest : capture_digests()) {
        listed.emplace(digest.capture, digest.mode);
    }
    for (const auto& entry : std::filesystem::directory_iterator(corpus_dir())) {
        if (entry.path().extension() != ".log") {
            continue;
        }
        for (const auto& [mode, options] : capture_modes) {
            EXPECT_EQ(listed.count({entry.path().filename().string(), mode}), 1u)
                << entry.path().filename() << " has no " << mode
                << " digest in tests/data/corpus-digests.txt: scripts/regen-golden.sh "
                   "BUILD_DIR adds it.";
        }
    }
}

}  // namespace
}  // namespace tarnwick::test
