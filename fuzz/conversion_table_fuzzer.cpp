// The conversion tables and their change lists: the first byte picks a K
// table, an F table or a change list, the rest is the file.

#include "fuzz_support.h"
#include "landscape/conversion_tables.h"

namespace {

const TChangeListMessages kMessages{"Veg2KFile", "cannot open the list", "cannot read the list",
                                    "the list is not in order"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World* world = [] {
        fuzz_support::scratchFolder();
        NbDemePerCell = 1;
        auto* made = new World();
        made->allocateVeg2K_Veg2F();
        return made;
    }();
    const unsigned selector = fuzz_support::takeSelector(data, size) % 3;
    const std::string path = fuzz_support::writeFile("table.txt", data, size);
    try {
        if (selector == 0) {
            world->io.readConversionTable_for_K(path.c_str(), *world, world->Settings,
                                                world->tables.Veg2K[0], 0);
        } else if (selector == 1) {
            world->io.readConversionTable_for_F(path.c_str(), *world, world->tables.Veg2F[0]);
        } else {
            TTableChangeList list;
            world->io.readTableChangeList(path.c_str(), kMessages, list);
            if (list.count != static_cast<int>(list.paths.size()) ||
                list.count != static_cast<int>(list.generations.size())) {
                std::abort();
            }
        }
    } catch (const TException&) {
    }
    return 0;
}
