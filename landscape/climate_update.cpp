// K and F of every cell following the climate of the moment, between their
// present and their glacial values, and when the generation loop updates them.

#include <cstdint>
#include <sstream>
#include <string>

#include "app/world.h"
#include "demography/cell.h"
#include "foundations/exception.h"
#include "foundations/log.h"
#include "landscape/climate.h"
#include "landscape/conversion_tables.h"
#include "landscape/grid_header.h"

namespace {

constexpr int32_t kReferenceTime = -66600;
// The friction of every cell when no friction rule is configured (as the build
// sets it): the climate then leaves friction alone, since there is no table
// to scale.
constexpr float kFrictionWithoutChoice = 0.5f;

[[noreturn]] void internalError(const std::string& what) {
    throw TException(my_string(("internal error, please report: " + what).c_str()));
}

void checkLayer(const World& world, const int& layer) {
    const size_t needed = static_cast<size_t>(layer) + 1;
    if (layer < 0 || layer >= NbDemePerCell || world.tables.Veg2K.size() < needed ||
        world.tables.Veg2F.size() < needed ||
        world.tables.Veg2K[static_cast<size_t>(layer)].size() <
            static_cast<size_t>(kVegetationClassCount) ||
        world.tables.Veg2F[static_cast<size_t>(layer)].size() <
            static_cast<size_t>(kVegetationClassCount)) {
        internalError("the climate update of layer " + std::to_string(layer) +
                      " has no conversion tables");
    }
}

size_t positionOf(const cell& land, int columns) {
    return static_cast<size_t>(land.row) * static_cast<size_t>(columns) +
           static_cast<size_t>(land.column);
}

[[noreturn]] void refuseCapacity(World& world, const cell& land, int layer, float capacity,
                                 float ratio) {
    std::ostringstream text;
    text << "The climate of year " << cell::_Current_RealBP_time << " (ratio " << ratio
         << " to the value at " << -kReferenceTime << " years BP in the climate file '"
         << world.Settings.getParameter("VostokFile", false).c_str()
         << "', VostokFile) gives the cell at row " << land.row << ", column " << land.column
         << " the carrying capacity " << capacity << " in layer " << layer
         << ", outside the range of a capacity";
    throw TException(my_string(text.str().c_str()));
}

}  // namespace

int World::GenerateVostokIntermediateData(const int& layer) {
    checkLayer(*this, layer);
    const bool hasChoice = Settings.parameterExists("FrictionChoice");
    const int frictionChoice = Settings.getIntParameter("FrictionChoice", false);
    const float ratio = climateSeries[cell::_Current_RealBP_time] / climateSeries[kReferenceTime];

    const std::vector<int>& capacityTable = tables.Veg2K[static_cast<size_t>(layer)];
    const std::vector<float>& frictionTable = tables.Veg2F[static_cast<size_t>(layer)];
    const bool usesRoughness = hasChoice && (frictionChoice == 1 || frictionChoice == 2);
    const size_t positions = static_cast<size_t>(nrows) * static_cast<size_t>(ncols);
    if (climateKMatrix.size() != positions || climateFMatrix.size() != positions ||
        (usesRoughness && grid.roughnessMatrix.size() != positions)) {
        internalError("the climate update runs without its matrices");
    }

    for (const cell* land : grid.landCells) {
        const size_t at = positionOf(*land, ncols);
        const int glacialClass = land->lgmVegetation;
        const int presentClass = land->presentVegetation;
        const bool glacialOnly = presentClass == NO_LAND;
        if (glacialClass < 0 || glacialClass > kMaxVegetationClass ||
            (!glacialOnly && (presentClass < 0 || presentClass > kMaxVegetationClass))) {
            internalError("a vegetation class outside the tables reached the climate update");
        }
        const int32_t glacialK = capacityTable[static_cast<size_t>(glacialClass)];
        const float glacialF = frictionTable[static_cast<size_t>(glacialClass)];
        const float roughness = usesRoughness ? grid.roughnessMatrix[at] : 0.0f;

        // Friction scales the glacial value alone, not the present one; land
        // only in the glacial map takes its glacial value as it is.
        const float glacialShare = glacialOnly ? glacialF : ratio * glacialF;
        float friction = kFrictionWithoutChoice;
        if (hasChoice) {
            if (frictionChoice == 1) {
                friction = roughness;
            } else if (frictionChoice == 2) {
                friction = (glacialShare + roughness) * 0.5f;
            } else {
                friction = glacialShare;
            }
        }
        climateFMatrix[at] = friction;

        if (glacialOnly) {
            climateKMatrix[at] = glacialK;
            continue;
        }
        const int32_t presentK = capacityTable[static_cast<size_t>(presentClass)];
        const float difference =
            static_cast<float>(static_cast<int64_t>(glacialK) - static_cast<int64_t>(presentK));
        const float capacity = static_cast<float>(presentK) + difference * ratio;
        if (!(static_cast<double>(capacity) > -2147483649.0 &&
              static_cast<double>(capacity) < 2147483648.0)) {
            refuseCapacity(*this, *land, layer, capacity, ratio);
        }
        climateKMatrix[at] = static_cast<int32_t>(capacity);
    }
    return 1;
}

int World::UpdateGlobalKWithVostokIntermediate(const int& layer) {
    checkLayer(*this, layer);
    for (cell* land : grid.landCells) {
        land->states[layer].K = climateKMatrix[positionOf(*land, ncols)];
    }
    return 1;
}

int World::UpdateGlobalFWithVostokIntermediate(const int& layer) {
    checkLayer(*this, layer);
    for (cell* land : grid.landCells) {
        land->states[layer].F = climateFMatrix[positionOf(*land, ncols)];
    }
    return 1;
}

void World::applyClimateAtSimulationStart() {
    AOS << " GenerateVostok (before) at time" << cell::_Current_RealBP_time << std::endl;
    for (int layer = 0; layer < NbDemePerCell; ++layer) {
        GenerateVostokIntermediateData(layer);
        UpdateGlobalKWithVostokIntermediate(layer);
        UpdateGlobalFWithVostokIntermediate(layer);
    }
    AOS << " GenerateVostok (after)" << std::endl;
}

void World::applyClimateAndSeaLevelStep(int& yearsSinceUpdate, const int& generationTime) {
    yearsSinceUpdate += generationTime;
    if (yearsSinceUpdate < Settings.getIntParameter("DynamicVegetationChangeTime", false)) return;
    ComputeSeaLevelChanges();
    for (int layer = 0; layer < NbDemePerCell; ++layer) {
        GenerateVostokIntermediateData(layer);
        UpdateGlobalKWithVostokIntermediate(layer);
        UpdateGlobalFWithVostokIntermediate(layer);
        // Their failure is logged by them and does not stop the step.
        SetKandFValuesForCoast(layer);
        SetKandFValuesForRiver(layer);
    }
    yearsSinceUpdate = 0;
}
