// The arrival-time file and the immigrant files, written from histories set by
// hand on the 3 x 3 island of the 7 x 7 block map (land in rows and columns
// 2..4; the cell (row, column) spans x column..column+1, y 6-row..7-row).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demography/demography_world_fixture.h"
#include "foundations/exception.h"

namespace {

using demography_test::countOf;
using demography_test::DemographyWorldTest;
using demography_test::hasLine;
using demography_test::WorkingDirectory;
using test_support::splitLines;

class ArrivalCellsTest : public DemographyWorldTest {
  protected:
    void SetUp() override {
        DemographyWorldTest::SetUp();
        ASSERT_EQ(build("block_3x3.asc", "EndTime=10\n"), 1);
        // Arrival dates: (2,2) source at 0, (3,3) at 4, (4,4) at 7; the rest never.
        occupyFrom(2, 2, 0);
        occupyFrom(3, 3, 4);
        occupyFrom(4, 4, 7);
    }
    void occupyFrom(int row, int column, int from) {
        for (int t = from; t <= 10; ++t) store(kSeriesN, row, column, t, 3);
    }
    // Writes the arrival list, names it in the settings and writes the output.
    int writeArrivals(const std::string& listText, const std::string& listName = "cells.col") {
        world->Settings["ArrivalCellFile"] = dir.write(listName, listText).c_str();
        return world->ReadAndWriteArrivalCell();
    }
    std::vector<std::string> output(const std::string& name = "cells_output.txt") const {
        return splitLines(dir.read(name));
    }
};

TEST_F(ArrivalCellsTest, OutputNameIsTheListNameBeforeItsFirstDotCol) {
    const WorkingDirectory inScratch(dir.path());
    struct Case {
        const char* list;
        const char* output;
    };
    for (const Case& c :
         {Case{"cells.col", "cells_output.txt"}, Case{"data/run.col.bak", "data/run_output.txt"},
          Case{"a.col/b.col", "a_output.txt"}, Case{"cells.txt", "_output.txt"},
          Case{".col", "_output.txt"}}) {
        SCOPED_TRACE(c.list);
        dir.write(c.list, "1\nSource 0 4.5 2.5 0\n");
        world->Settings["ArrivalCellFile"] = c.list;
        EXPECT_EQ(world->ReadAndWriteArrivalCell(), 1);
        EXPECT_EQ(output(c.output), (std::vector<std::string>{"TIMES OF ARRIVAL", "Source : 0"}));
    }
}

TEST_F(ArrivalCellsTest, ListedCellsGetTheirFirstOccupiedGeneration) {
    EXPECT_EQ(writeArrivals("4\nSource 0 4.5 2.5 0\nCentre\t0\t3.5\t3.5\t0\r\n"
                            "Corner 0 2.5 4.5 0\nNever 0 4.5 4.5 0\n"),
              1);
    EXPECT_EQ(output(), (std::vector<std::string>{"TIMES OF ARRIVAL", "Source : 0", "Centre : 4",
                                                  "Corner : 7", "Never : -1"}));
}

TEST_F(ArrivalCellsTest, ListStartingWithZeroGivesOnlyTheTitle) {
    EXPECT_EQ(writeArrivals("0\nSource 0 4.5 2.5 0\n"), 1);
    EXPECT_EQ(output(), std::vector<std::string>{"TIMES OF ARRIVAL"});
}

TEST_F(ArrivalCellsTest, CellOutsideTheWorldIsSkipped) {
    EXPECT_EQ(writeArrivals("3\nSource 0 4.5 2.5 0\nFar 0 40 2.5 0\nCentre 0 3.5 3.5 0\n"), 1);
    EXPECT_EQ(output(), (std::vector<std::string>{"TIMES OF ARRIVAL", "Source : 0", "Centre : 4"}));
    const std::string quoted =
        " ERROR: {TDemeCollection::ReadAndWriteArrivalCell()} [the cell 'Far' is out of World "
        "coordinates!]";
    EXPECT_EQ(countOf(log(), quoted + "\n"), 1);
    EXPECT_EQ(countOf(log(), "ERROR"), 1);
    EXPECT_NE(log().find("line 3 of the arrival-cell file '" + dir.file("cells.col") + "'"),
              std::string::npos)
        << log();
    EXPECT_NE(capture->console().find(quoted), std::string::npos);
}

// The top and right edges of the world belong to the first row and the last
// column: corner_2x2 has its one land cell, (0,1), in the north-east corner.
TEST_F(ArrivalCellsTest, PointsOnTheUpperAndRightEdgesBelongToTheFirstRowAndLastColumn) {
    ASSERT_EQ(build("corner_2x2.asc", "EndTime=10\n"), 1);
    for (int t = 6; t <= 10; ++t) store(kSeriesN, 0, 1, t, 1);
    EXPECT_EQ(writeArrivals("3\nTopRight 0 2 2 0\nTop 0 2 1.5 0\nRight 0 1.5 2 0\n"), 1);
    EXPECT_EQ(output(), (std::vector<std::string>{"TIMES OF ARRIVAL", "TopRight : 6", "Top : 6",
                                                  "Right : 6"}));
}

TEST_F(ArrivalCellsTest, WrongLayerOrCellOffLandStopsTheList) {
    struct Case {
        const char* line;
        const char* message;
    };
    for (const Case& c :
         {Case{"Bad 1 3.5 3.5 0",
               "ERROR:{DemeCollection::ReadAndWriteArrivalCell()}:[the no of deme # Bad does not "
               "exist!]"},
          Case{"Bad -1 3.5 3.5 0",
               "ERROR:{DemeCollection::ReadAndWriteArrivalCell()}:[the no of deme # Bad does not "
               "exist!]"},
          Case{"Bad 0 0.5 0.5 0",
               "ERROR:{DemeCollection::ReadAndWriteArrivalCell()}:[the cell named Bad' falls on a "
               "uninstanciated cell!]"}}) {
        SCOPED_TRACE(c.line);
        capture.reset();
        capture = std::make_unique<test_support::CapturedOutput>();
        EXPECT_EQ(writeArrivals(std::string("3\nSource 0 4.5 2.5 0\n") + c.line +
                                "\nCentre 0 3.5 3.5 0\n"),
                  0);
        EXPECT_EQ(output(), (std::vector<std::string>{"TIMES OF ARRIVAL", "Source : 0"}));
        EXPECT_TRUE(hasLine(log(), c.message)) << log();
        EXPECT_NE(log().find("line 3 of the arrival-cell file"), std::string::npos);
    }
}

TEST_F(ArrivalCellsTest, UnreadableListsAreReportedWithFileAndLine) {
    struct Case {
        const char* text;
        int result;
        const char* lineMention;  // null: no line to name
        std::vector<std::string> output;
    };
    const std::vector<std::string> titleOnly{"TIMES OF ARRIVAL"};
    for (const Case& c :
         {Case{"many\nSource 0 4.5 2.5 0\n", 0, "line 1 of", titleOnly},
          Case{"2\nSource 0 4.5 2.5 0\nParis 0 north 2.5 0\n",
               0,
               "line 3 of",
               {"TIMES OF ARRIVAL", "Source : 0"}},
          Case{"3\nSource 0 4.5 2.5 0\n", 0, "line 3 of", {"TIMES OF ARRIVAL", "Source : 0"}},
          Case{"2\nSource 0 4.5 2.5 0\n\n", 0, "line 3 of", {"TIMES OF ARRIVAL", "Source : 0"}}}) {
        SCOPED_TRACE(c.text);
        capture.reset();
        capture = std::make_unique<test_support::CapturedOutput>();
        EXPECT_EQ(writeArrivals(c.text), c.result);
        EXPECT_EQ(output(), c.output);
        EXPECT_NE(log().find(std::string(c.lineMention) + " the arrival-cell file '" +
                             dir.file("cells.col") + "'"),
                  std::string::npos)
            << log();
        EXPECT_NE(capture->console().find(c.lineMention), std::string::npos);
    }
}

TEST_F(ArrivalCellsTest, MissingListLeavesOnlyTheTitle) {
    world->Settings["ArrivalCellFile"] = dir.file("absent.col").c_str();
    EXPECT_EQ(world->ReadAndWriteArrivalCell(), 1);
    EXPECT_EQ(output("absent_output.txt"), std::vector<std::string>{"TIMES OF ARRIVAL"});
    EXPECT_NE(log().find("\nthe .col file has not been read\n"), std::string::npos) << log();
}

// ---------------------------------------------------------------------------
// Immigrant files

TEST_F(ArrivalCellsTest, ImmigrantFileHasOneLinePerGeneration) {
    ASSERT_EQ(build("block_3x3.asc",
                    "EndTime=100\nDoublePopulationMode=1\nVeg2K_P2_File=" + kList + "\n"),
              1);
    world->geneticOutputDirectory = (dir.path() + "/").c_str();
    world->geneticOutputStem = "run";
    store(kSeriesFromNorth, 3, 3, 1, 2);
    store(kSeriesFromSouth, 3, 3, 1, 3);
    store(kSeriesFromEast, 3, 3, 50, 4);
    store(kSeriesFromWest, 3, 3, 100, 5);
    store(kSeriesFromWest, 3, 3, 0, 99);  // generation 0 is not written
    store(kSeriesFromWest, 3, 3, 100, 7, 1);

    const std::string index = std::to_string(at(3, 3).dbIndex);
    world->CountAndWriteImmigrants(3, 3, 0);
    const std::vector<std::string> lines =
        splitLines(dir.read("run_Immigrants_" + index + "_P1.nm"));
    ASSERT_EQ(lines.size(), 101u);
    EXPECT_EQ(lines[0], "Generation Immigrants");
    EXPECT_EQ(lines[1], "1 5");
    EXPECT_EQ(lines[2], "2 0");
    EXPECT_EQ(lines[50], "50 4");
    EXPECT_EQ(lines[100], "100 5");

    world->CountAndWriteImmigrants(3, 3, 1);
    const std::vector<std::string> second =
        splitLines(dir.read("run_Immigrants_" + index + "_P2.nm"));
    ASSERT_EQ(second.size(), 101u);
    EXPECT_EQ(second[100], "100 7");
    EXPECT_EQ(second[1], "1 0");
}

}  // namespace
