// Lists of the tips below each side of a node.

#include <new>
#include <utility>
#include <vector>

#include "foundations/log.h"
#include "genetree/tree_node.h"

namespace {

// The tips already put in the list being built. Below a recombination a tip
// hangs under both parents of its lineage; listing it once per path would
// double a list at every such loop, so each list names a tip once.
class ListedTips {
  public:
    void startList() { ++stamp_; }
    bool takeNew(int tip) {
        if (tip < 0) return true;
        const size_t slot = static_cast<size_t>(tip);
        if (slot >= marks_.size()) marks_.resize(slot + 1, 0);
        if (marks_[slot] == stamp_) return false;
        marks_[slot] = stamp_;
        return true;
    }

  private:
    std::vector<uint64_t> marks_;
    uint64_t stamp_ = 0;
};

ListedTips listedTips;

void appendNew(MY_TArrayAsVector<int>& to, const MY_TArrayAsVector<int>* from) {
    if (from == nullptr) return;
    for (int i = 0; i < from->count(); ++i) {
        if (listedTips.takeNew((*from)[i])) to.Add((*from)[i]);
    }
}

void logAllocationFailure() {
    AOS << "TNode:: build_list_of_descendent_nodes() : Unable to allocate memory\n";
}

void makeEmptyTipList(MY_TArrayAsVector<int>*& list) {
    if (list == nullptr) {
        list = new MY_TArrayAsVector<int>(1, 10);
    } else {
        list->Flush();
    }
}

}  // namespace

int TNode::fillTipLists() {
    try {
        makeEmptyTipList(leftTipList);
        makeEmptyTipList(rightTipList);
        listedTips.startList();
        if (leftDescendant != nullptr) {
            appendNew(*leftTipList, leftDescendant->leftTipList);
            appendNew(*leftTipList, leftDescendant->rightTipList);
        } else {
            leftTipList->Add(nodeNumber);  // a tip lists itself
        }
        listedTips.startList();
        if (rightDescendant != nullptr) {
            appendNew(*rightTipList, rightDescendant->leftTipList);
            appendNew(*rightTipList, rightDescendant->rightTipList);
        }
    } catch (const std::bad_alloc&) {
        deleteTipLists();
        logAllocationFailure();
        return 0;
    }
    return 1;
}

// Descendants first, each node once per call: below a recombination the same
// lineage hangs under both parents, and the graph can hold so many such paths
// that visiting every path (or recursing along the longest) would not end in
// reasonable time or stack.
int TNode::build_lists_of_descendent_nodes() {
    const uint64_t pass = ++_lastTraversal;
    std::vector<std::pair<TNode*, bool>> pending;  // node, descendants already queued
    try {
        pending.reserve(64);
    } catch (const std::bad_alloc&) {
        logAllocationFailure();
        return 0;
    }
    pending.emplace_back(this, false);
    while (!pending.empty()) {
        TNode* node = pending.back().first;
        if (node->traversalMark_ == pass) {
            pending.pop_back();
            continue;
        }
        if (!pending.back().second) {
            pending.back().second = true;
            try {
                if (node->rightDescendant != nullptr &&
                    node->rightDescendant->traversalMark_ != pass) {
                    pending.emplace_back(node->rightDescendant, false);
                }
                if (node->leftDescendant != nullptr &&
                    node->leftDescendant->traversalMark_ != pass) {
                    pending.emplace_back(node->leftDescendant, false);
                }
            } catch (const std::bad_alloc&) {
                logAllocationFailure();
                return 0;
            }
            continue;
        }
        pending.pop_back();
        if (node->fillTipLists() == 0) return 0;
        node->traversalMark_ = pass;
    }
    return 1;
}
