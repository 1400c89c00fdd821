#include "genetree/tree_node.h"

#include <new>

#include "app/settings.h"
#include "foundations/log.h"

MY_TArrayAsVector<int> TNode::hits(0, 10);
GammaRates TNode::mut_rates;
double TNode::tree_length = 0.0;
int32_t TNode::node_count = 0;
int32_t TNode::min_mic = 0;
int32_t TNode::max_mic = 0;
int32_t TNode::num_linked_loci = 0;
uint64_t TNode::_lastTraversal = 0;

namespace {

size_t perLocusLength() {
    return TNode::num_linked_loci > 0 ? static_cast<size_t>(TNode::num_linked_loci) : 0;
}

bool twoLayerWorld() {
    return NbDemePerCell > 1;
}

// A migration list in its fresh state, keeping one that already is.
void makeEmptyMigrationList(MY_TArrayAsVector<int>*& list) {
    if (list != nullptr && list->initialSize() == TNode::kMigrationListUpper + 1 &&
        list->growthStep() == TNode::kMigrationListGrowth) {
        if (list->count() != 0 || list->size() != list->initialSize()) list->Flush();
        return;
    }
    delete list;
    list = nullptr;
    list = new MY_TArrayAsVector<int>(TNode::kMigrationListUpper, TNode::kMigrationListGrowth);
}

}  // namespace

TNode::TNode()
    : nodeNumber(0),
      leftTipList(nullptr),
      rightTipList(nullptr),
      data(nullptr),
      locationList(nullptr),
      timeList(nullptr),
      layerList(nullptr),
      traversalMark_(0),
      retired_(false) {
    initialiseFields();
    nodeNumber = ++node_count;  // last: a failed construction takes no number
}

TNode::~TNode() {
    if (!retired_ && node_count > 0) --node_count;
    deleteTipLists();
    delete data;
    delete locationList;
    delete timeList;
    delete layerList;
}

void TNode::initialiseFields() {
    sampleCell = 0;
    sampleLayer = 0;
    layer = -1;
    demeNumber = -1;
    time = 0;
    siteCount = 0;
    mutationCount = 0;
    leftDescendant = nullptr;
    rightDescendant = nullptr;
    descendantCounts.clear();  // missing; the storage stays for reuse
    ancestor = nullptr;
    chainPosition = -1;
    coalescentFlag = kTipNode;
    randomState = 1;
    resetAncestralFlags();
    firstCarriedLocus = 0;
    lastCarriedLocus = num_linked_loci - 1;
    firstParent = nullptr;
    secondParent = nullptr;
    leftDescendantCount = 0;
    rightDescendantCount = 0;
}

void TNode::retire() {
    if (!retired_ && node_count > 0) --node_count;
    retired_ = true;
}

void TNode::revive() {
    initialiseFields();
    retired_ = false;
    nodeNumber = ++node_count;
    deleteTipLists();
    delete data;
    data = nullptr;
    // The migration lists are kept for create_LocationAndTime_Vectors to empty;
    // a one-layer world has no layer list.
    if (!twoLayerWorld()) {
        delete layerList;
        layerList = nullptr;
    }
}

void TNode::deleteTipLists() {
    delete leftTipList;
    delete rightTipList;
    leftTipList = nullptr;
    rightTipList = nullptr;
}

int TNode::Store_Node_Migration(const int& cell, const int& generation, const int& stepLayer) {
    const bool withLayer = twoLayerWorld();
    if (locationList == nullptr || timeList == nullptr || (withLayer && layerList == nullptr)) {
        AOS << "TNode::Store_Node_Migration: Impossible to add migration into the DB :"
            << nodeNumber << " at time " << generation << "\n";
        return 0;
    }
    locationList->Add(cell);
    timeList->Add(generation);
    if (withLayer) layerList->Add(stepLayer);
    return 1;
}

void TNode::create_LocationAndTime_Vectors() {
    try {
        makeEmptyMigrationList(locationList);
        makeEmptyMigrationList(timeList);
        if (twoLayerWorld()) makeEmptyMigrationList(layerList);
    } catch (const std::bad_alloc&) {
        delete locationList;
        delete timeList;
        delete layerList;
        locationList = nullptr;
        timeList = nullptr;
        layerList = nullptr;
    }
}

TNode* TNode::nextNodeOnLocusTree(const int& locus) {
    TNode* node = this;
    for (;;) {
        TNode* left = node->leftDescendant;
        TNode* right = node->rightDescendant;
        if (left == nullptr && right == nullptr) return node;
        if (left != nullptr && right != nullptr) {
            const bool leftCarries = left->carries(locus);
            if (leftCarries && right->carries(locus)) return node;
            node = leftCarries ? left : right;
        } else {
            node = left != nullptr ? left : right;
        }
    }
}

int TNode::count_desc(const int& locus) {
    leftDescendantCount = 0;
    rightDescendantCount = 0;
    // Counts missing, or left shorter by an earlier chromosome: num_linked_loci zeros.
    if (descendantCounts.size() < perLocusLength()) descendantCounts.resize(perLocusLength(), 0);
    if (leftDescendant != nullptr) {
        leftDescendantCount = leftDescendant->nextNodeOnLocusTree(locus)->count_desc(locus);
    }
    if (rightDescendant != nullptr) {
        rightDescendantCount = rightDescendant->nextNodeOnLocusTree(locus)->count_desc(locus);
    }
    const bool isTip = leftDescendant == nullptr && rightDescendant == nullptr;
    const int count = isTip ? 1 : leftDescendantCount + rightDescendantCount;
    if (locus >= 0 && static_cast<size_t>(locus) < descendantCounts.size()) {
        descendantCounts[static_cast<size_t>(locus)] = count;
    }
    return count;
}

int TNode::reset_numDesc() {
    try {
        descendantCounts.assign(perLocusLength(), 0);
    } catch (const std::bad_alloc&) {
        std::vector<int32_t>().swap(descendantCounts);
        AOS << "\nTNode::reset_numDesc: unable to allocate memory\n";
        return 0;
    }
    return 1;
}

void TNode::resetAncestralFlags() {
    ancestralFlags.assign(perLocusLength(), 1);
}

int TNode::resetAncestry() {
    resetAncestralFlags();
    firstCarriedLocus = 0;
    lastCarriedLocus = num_linked_loci - 1;
    return reset_numDesc();
}

double TNode::update_recombination_proba(const int& first, const int& last,
                                         const MY_TArrayAsVector<double>* rates) const {
    double sum = 0.0;
    if (rates == nullptr) return sum;
    // Loci beyond the rate array contribute nothing.
    const int end = last < rates->size() ? last : rates->size();
    for (int i = first < 0 ? 0 : first; i < end; ++i) sum += (*rates)[i];
    return sum;
}

int TNode::count_polym_sites() {
    int polymorphic = 0;
    for (int i = 0; i < hits.count(); ++i) {
        if (hits[i] != 0) ++polymorphic;
    }
    return polymorphic;
}
