#include "app/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "foundations/exception.h"
#include "support/test_support.h"

namespace {

using test_support::ScratchDir;

TSettings readSettings(const ScratchDir& dir, const std::string& text) {
    TSettings settings;
    settings.readParameters(dir.write("settings.txt", text).c_str(), 0, nullptr, 0);
    return settings;
}

struct LineCase {
    const char* name;
    const char* fileText;
    const char* key;
    bool present;
    const char* value;
};

class SettingsLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(SettingsLineTest, StoresWhatTheLineSays) {
    const LineCase& c = GetParam();
    ScratchDir dir;
    TSettings settings = readSettings(dir, std::string("DoublePopulationMode=0\n") + c.fileText);
    EXPECT_EQ(settings.parameterExists(c.key), c.present);
    if (c.present) {
        EXPECT_STREQ(settings.getParameter(c.key, true).c_str(), c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SettingsLineTest,
    ::testing::Values(
        LineCase{"BlanksAndComment", "GrowthRate \t= \t0.5  # per generation\n", "GrowthRate", true, "0.5"},
        LineCase{"SecondEqualsStaysInValue", "Expr=a=b\n", "Expr", true, "a=b"},
        LineCase{"NoEqualsKeyIsValue", "  lonely word \n", "lonely word", true, "lonely word"},
        LineCase{"EmptyKeyIgnored", "=0.5\n", "", false, ""},
        LineCase{"EmptyValueIgnored", "EndTime=   \n", "EndTime", false, ""},
        LineCase{"CommentOnly", "# EndTime=5\n", "EndTime", false, ""},
        LineCase{"HashInsideValueEndsIt", "File=a#b.txt\n", "File", true, "a"},
        LineCase{"LastLineWins", "EndTime=5\nEndTime=7\n", "EndTime", true, "7"},
        LineCase{"CaseSensitiveKeys", "endtime=5\n", "EndTime", false, ""},
        LineCase{"NoFinalNewline", "EndTime=9", "EndTime", true, "9"},
        LineCase{"WindowsLineEndKeepsCarriageReturn", "File=a.asc\r\n", "File", true, "a.asc\r"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(SettingsTest, TypedQueriesConvertAndDefault) {
    ScratchDir dir;
    TSettings settings = readSettings(dir, "DoublePopulationMode=0\r\nEndTime=12\r\nRate=0.25\r\nWord=abc\n");
    EXPECT_EQ(settings.getIntParameter("EndTime", true), 12);  // a trailing CR still converts
    EXPECT_DOUBLE_EQ(settings.getdoubleParameter("Rate", true), 0.25);
    EXPECT_EQ(settings.getIntParameter("Word", true), -1);  // no digits
    EXPECT_EQ(settings.getIntParameter("Missing", false), 0);
    EXPECT_DOUBLE_EQ(settings.getdoubleParameter("Missing", false), 0.0);
    EXPECT_TRUE(settings.getParameter("Missing", false).empty());
}

TEST(SettingsTest, MissingRequiredKeyNamesIt) {
    ScratchDir dir;
    TSettings settings = readSettings(dir, "DoublePopulationMode=0\n");
    try {
        settings.getIntParameter("EndTime", true);
        FAIL() << "expected an exception";
    } catch (const TException& e) {
        EXPECT_STREQ(e.message().c_str(), "The parameter 'EndTime' is not defined in the inputfile!");
        EXPECT_EQ(e.severity(), EXCEPTION_FATAL);
    }
}

TEST(SettingsTest, ReadDerivesLayerCountBairdAndGlacialFlag) {
    struct Case {
        const char* text;
        int layers;
        bool baird;
        int lgm;
    };
    const Case cases[] = {
        {"DoublePopulationMode=1\n", 2, false, 0},
        {"DoublePopulationMode=2\n", 1, false, 0},
        {"DoublePopulationMode=0\nAllowBairdEfficientLattice=1\n", 1, true, 0},
        {"DoublePopulationMode=0\nAllowBairdEfficientLattice=0\n", 1, false, 0},
        {"DoublePopulationMode=0\nLGMVegetationFile=lgm.asc\n", 1, false, 1},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        TSettings settings = readSettings(dir, c.text);
        EXPECT_EQ(NbDemePerCell, c.layers) << c.text;
        EXPECT_EQ(UsingBairdLattice, c.baird) << c.text;
        EXPECT_EQ(settings.lgmVegetation, c.lgm) << c.text;
    }
    NbDemePerCell = 1;
}

TEST(SettingsTest, ReadFailsWithoutDoublePopulationModeOrFile) {
    ScratchDir dir;
    EXPECT_THROW(readSettings(dir, "EndTime=3\n"), TException);
    TSettings settings;
    try {
        settings.readParameters(dir.file("absent.txt").c_str(), 0, nullptr, 0);
        FAIL() << "expected an exception";
    } catch (const TException& e) {
        EXPECT_EQ(std::string(e.message().c_str()),
                  "Inputfile '" + dir.file("absent.txt") + "' could not be opened!");
    }
}

TEST(SettingsTest, DirectWritesAreSeenByLaterQueries) {
    ScratchDir dir;
    TSettings settings = readSettings(dir, "DoublePopulationMode=0\nRealBPTime=5\n");
    settings["RealBPTime"] = "-300";
    settings["NewKey"] = "7";
    EXPECT_EQ(settings.getIntParameter("RealBPTime", true), -300);
    EXPECT_EQ(settings.getIntParameter("NewKey", true), 7);
}

}  // namespace
