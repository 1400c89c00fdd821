#include "genetree/tree.h"

#include <new>

#include "app/settings.h"

MY_TIArrayAsVector<TNode> TTree::matchingNodes(0, 0, false);
MY_TArrayAsVector<double> TTree::nodeWeights(0, 0);
int32_t TTree::sumActiveNodes = 0;

TTree::TTree() : sampleSize(0), ownsNodes(1), nodes(true), locusCount(0) {
    matchingNodes.setOwning(false);
}

TTree::~TTree() {
    nodes.setOwning(ownsNodes != 0);
    nodes.deleteChain();
    for (TNode* node : pool_) delete node;
}

int TTree::allocate_tree(const int& n) {
    sampleSize = n;
    nodes.deleteChain();
    try {
        for (int i = 0; i < n; ++i) {
            TNode* tip = new TNode();
            tip->chainPosition = i;
            tip->coalescentFlag = TNode::kTipNode;
            try {
                nodes.append(tip);
            } catch (const std::bad_alloc&) {
                delete tip;
                throw;
            }
        }
    } catch (const std::bad_alloc&) {
        nodes.deleteChain();
        return 0;
    }
    return 1;
}

TNode* TTree::appendNode(TNode* node, const int32_t& coalescentFlag) {
    try {
        node->chainPosition = static_cast<int32_t>(nodes.append(node));
    } catch (const std::bad_alloc&) {
        delete node;
        throw;
    }
    node->coalescentFlag = coalescentFlag;
    return node;
}

TNode* TTree::addInternalNode(const int32_t& coalescentFlag) {
    TNode* node;
    if (pool_.empty()) {
        node = new TNode();
    } else {
        node = pool_.back();
        pool_.pop_back();
        try {
            node->revive();
        } catch (const std::bad_alloc&) {
            delete node;  // still retired: its number was already given back
            throw;
        }
    }
    node->create_LocationAndTime_Vectors();
    return appendNode(node, coalescentFlag);
}

void TTree::resetLocusRecords(const int& numLoci, const int& numLineages) {
    locusCount = numLoci;
    const size_t loci = numLoci > 0 ? static_cast<size_t>(numLoci) : 0;
    activeLineages.assign(loci, numLineages);
    roots.assign(loci, nullptr);
    sumActiveNodes = static_cast<int32_t>(static_cast<int64_t>(numLineages) * numLoci);
}

int64_t TTree::totalActiveLineages() const {
    int64_t total = 0;
    for (int32_t count : activeLineages) total += count;
    return total;
}

void TTree::ResetNodeFlags() {
    TNode* tip = nodes.first();
    for (int32_t i = 0; i < sampleSize && tip != nullptr; ++i, tip = nodes.next()) {
        tip->resetAncestralFlags();
        tip->reset_numDesc();
    }
}

void TTree::resetNodeMaxPos(const int& pos) {
    TNode* tip = nodes.first();
    for (int32_t i = 0; i < sampleSize && tip != nullptr; ++i, tip = nodes.next()) {
        tip->lastCarriedLocus = pos;
    }
}

void TTree::recycleInternalNodes() {
    const int64_t tips = sampleSize > 0 ? sampleSize : 0;
    while (nodes.count() > tips) {
        TNode* node = nodes.detachAt(tips);
        node->retire();
        try {
            pool_.push_back(node);
        } catch (const std::bad_alloc&) {
            delete node;
        }
    }
}

void TTree::ResetMigrations(const int& time, const int& layer) {
    const bool twoLayers = NbDemePerCell > 1;
    // The nodes about to be dropped must not stay reachable from what remains.
    recycleInternalNodes();
    for (TNode*& root : roots) root = nullptr;
    matchingNodes.Flush();

    TNode* tip = nodes.first();
    for (int32_t i = 0; i < sampleSize && tip != nullptr; ++i, tip = nodes.next()) {
        tip->ancestor = nullptr;
        tip->firstParent = nullptr;
        tip->secondParent = nullptr;
        // Tips whose migration lists were never made get them now, so their
        // first step can be recorded.
        const bool complete = tip->locationList != nullptr && tip->timeList != nullptr &&
                              (!twoLayers || tip->layerList != nullptr);
        if (complete) {
            tip->locationList->Flush();
            tip->timeList->Flush();
            if (twoLayers) tip->layerList->Flush();
        } else {
            tip->create_LocationAndTime_Vectors();
        }
        tip->Store_Node_Migration(tip->sampleCell, time, layer);
    }
}

TListNode::TListNode(int size, TNode* block) : numNodes(0), nodeList(nullptr), capacity(0) {
    if (block == nullptr || size <= 0) return;
    try {
        nodeList = new TNode*[static_cast<size_t>(size)];
    } catch (const std::bad_alloc&) {
        return;
    }
    for (int i = 0; i < size; ++i) {
        nodeList[i] = &block[i];
        block[i].leftDescendant = nullptr;
        block[i].rightDescendant = nullptr;
        block[i].time = 0;
    }
    numNodes = size;
}

TListNode::~TListNode() {
    delete[] nodeList;
}
