// The vegetation conversion tables of the World: their allocation, the change
// lists read at the world build, the first tables, and the replacement of
// tables during the generation loop.

#include "landscape/conversion_tables.h"

#include "app/world.h"
#include "demography/cell.h"
#include "foundations/exception.h"

namespace {

const TChangeListMessages kCapacityList{
    "Veg2KFile",
    "Unable to open the dynamic conversion table Veg2K file. Check its name in the settings "
    "file and retry.",
    "Problems with adding K values in vector",
    "Error: the generations in the corresponding table for K are not in an increasing order!"};
const TChangeListMessages kFrictionList{
    "Veg2FFile",
    "Unable to open the dynamic conversion table Veg2F file. Check its name in the settings "
    "file and retry.",
    "Problems with adding F values in vector",
    "Error: the generations in the corresponding table for F are not in an increasing order!"};
const TChangeListMessages kMigrationList{
    "Veg2mFile",
    "Unable to open the dynamic conversion table Veg2m file. Check its name in the settings "
    "file and retry.",
    "Problems with adding m values in vector",
    "Error: the generations in the corresponding table for m are not in an increasing order!"};
const TChangeListMessages kCapacityListP2{
    "Veg2K_P2_File",
    "Unable to open the dynamic conversion table Veg2K file for POP2. Check its name in the "
    "settings file and retry.",
    "Problems with adding K values in vector P2",
    "Error: the generations in the corresponding table for K of P2 are not in an increasing "
    "order!"};
const TChangeListMessages kFrictionListP2{
    "Veg2F_P2_File",
    "Unable to open the dynamic conversion table Veg2F file for P2. Check its name in the "
    "settings file and retry.",
    "Problems with adding F values in vector for P2",
    "Error: the generations in the corresponding table for F of P2 are not in an increasing "
    "order!"};

// Reads the list the key names; from then on the key names the list's first table.
void readList(World& world, const TChangeListMessages& messages, TTableChangeList& list) {
    const my_string listPath = world.Settings.getParameter(messages.key, true);
    world.io.readTableChangeList(listPath, messages, list);
    world.Settings[messages.key] = list.count > 0 ? list.paths.front() : my_string();
}

void requireLayerTables(const World& world, int layer) {
    const size_t needed = static_cast<size_t>(layer) + 1;
    if (world.tables.Veg2K.size() < needed || world.tables.Veg2F.size() < needed) {
        throw TException(
            my_string("internal error, please report: the conversion tables of a "
                      "layer are used before they are allocated"));
    }
}

// A due carrying-capacity change: the new table, then K of every land cell from
// its present class (a class the table has no entry for keeps its K), then the
// coast and river factors.
bool applyCapacityChange(World& world, TTableChangeList& list, const char* key, int layer) {
    requireLayerTables(world, layer);
    world.Settings[key] = list.paths[static_cast<size_t>(list.position)];
    std::vector<int>& table = world.tables.Veg2K[static_cast<size_t>(layer)];
    if (!world.io.readConversionTable_for_K(world.Settings.getParameter(key, true), world,
                                            world.Settings, table, layer)) {
        return false;
    }
    for (cell* land : world.grid.landCells) {
        const int vegetationClass = land->presentVegetation;
        if (vegetationClass >= 0 && vegetationClass <= kMaxVegetationClass) {
            land->states[layer].K = table[static_cast<size_t>(vegetationClass)];
        }
    }
    if (!world.SetKandFValuesForCoast(layer)) return false;
    if (!world.SetKandFValuesForRiver(layer)) return false;
    ++list.position;
    return true;
}

// A due friction change: the new table, F recomputed, then the coast and river factors.
bool applyFrictionChange(World& world, TTableChangeList& list, const char* key, int layer) {
    requireLayerTables(world, layer);
    world.Settings[key] = list.paths[static_cast<size_t>(list.position)];
    std::vector<float>& table = world.tables.Veg2F[static_cast<size_t>(layer)];
    if (!world.io.readConversionTable_for_F(world.Settings.getParameter(key, true), world, table)) {
        return false;
    }
    if (!world.computeInitialFNonStochastic(layer)) return false;
    if (!world.SetKandFValuesForCoast(layer)) return false;
    if (!world.SetKandFValuesForRiver(layer)) return false;
    ++list.position;
    return true;
}

}  // namespace

void World::allocateVeg2K_Veg2F() {
    const size_t layers = static_cast<size_t>(NbDemePerCell > 1 ? 2 : 1);
    tables.Veg2K.assign(layers, std::vector<int>(kVegetationClassCount, -1));
    tables.Veg2F.assign(layers, std::vector<float>(kVegetationClassCount, -1.0f));
}

void World::deleteVeg2K_Veg2F() {
    std::vector<std::vector<int>>().swap(tables.Veg2K);
    std::vector<std::vector<float>>().swap(tables.Veg2F);
}

// The tables of the previous build go, whatever number of layers it had.
void World::deleteVeg2K_Veg2F_previous() {
    deleteVeg2K_Veg2F();
}

int World::readTimeAndPathArrays() {
    tables.kList.clear();
    tables.fList.clear();
    tables.mList.clear();
    tables.kListP2.clear();
    tables.fListP2.clear();

    readList(*this, kCapacityList, tables.kList);
    if (Settings.parameterExists(kFrictionList.key)) readList(*this, kFrictionList, tables.fList);
    if (Settings.parameterExists(kMigrationList.key)) {
        readList(*this, kMigrationList, tables.mList);
    }
    if (NbDemePerCell > 1) {
        readList(*this, kCapacityListP2, tables.kListP2);
        if (Settings.parameterExists(kFrictionListP2.key)) {
            readList(*this, kFrictionListP2, tables.fListP2);
        }
    }
    return 1;
}

int World::ReadConversionTables() {
    const int layers = NbDemePerCell > 1 ? 2 : 1;
    requireLayerTables(*this, layers - 1);
    // Every read is attempted, even after one has failed, so that all the
    // faulty tables are reported at once.
    int allRead = io.readConversionTable_for_K(Settings.getParameter(kCapacityList.key, true),
                                               *this, Settings, tables.Veg2K[0], 0);
    if (Settings.parameterExists(kFrictionList.key)) {
        allRead &= io.readConversionTable_for_F(Settings.getParameter(kFrictionList.key, true),
                                                *this, tables.Veg2F[0]);
    }
    if (layers > 1) {
        allRead &= io.readConversionTable_for_K(Settings.getParameter(kCapacityListP2.key, true),
                                                *this, Settings, tables.Veg2K[1], 1);
        if (Settings.parameterExists(kFrictionListP2.key)) {
            allRead &= io.readConversionTable_for_F(
                Settings.getParameter(kFrictionListP2.key, true), *this, tables.Veg2F[1]);
        }
    }
    return allRead;
}

int World::ApplyConversionTableChanges(const int& generationCounter) {
    if (tables.kList.isDueAt(generationCounter) &&
        !applyCapacityChange(*this, tables.kList, kCapacityList.key, 0)) {
        return 0;
    }
    if (tables.fList.isDueAt(generationCounter) &&
        !applyFrictionChange(*this, tables.fList, kFrictionList.key, 0)) {
        return 0;
    }
    if (NbDemePerCell > 1) {
        if (tables.kListP2.isDueAt(generationCounter) &&
            !applyCapacityChange(*this, tables.kListP2, kCapacityListP2.key, 1)) {
            return 0;
        }
        if (tables.fListP2.isDueAt(generationCounter) &&
            !applyFrictionChange(*this, tables.fListP2, kFrictionListP2.key, 1)) {
            return 0;
        }
    }
    return 1;
}

void World::ResetConversionTablePositions() {
    tables.resetPositions();
}
