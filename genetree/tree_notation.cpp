// The marginal tree of one locus in parenthesis notation, as the NEXUS tree
// blocks hold it: "(" left ", " right ")" for a node joining two lineages that
// carry the locus, the taxon label for a tip, and ":" and the branch length
// after every node but the root.
//
// A genealogy of thousands of genes can be a single chain, so the tree is
// written from an explicit stack of pending pieces rather than by recursion.

#include <cstdint>
#include <ostream>
#include <vector>

#include "geneticoutput/nexus_writer.h"
#include "genetree/tree.h"

namespace {

// One step of the walk down the marginal tree of locus, from a node that does
// not have two descendants carrying it (the carrying one, else the right one,
// or the only one); null when the walk ends at node: a tip or a node joining
// two carriers. The same walk as TNode::nextNodeOnLocusTree, one node at a time.
TNode* passThrough(const TNode* node, int locus) {
    TNode* left = node->leftDescendant;
    TNode* right = node->rightDescendant;
    if (left == nullptr && right == nullptr) return nullptr;
    if (left != nullptr && right != nullptr) {
        const bool leftCarries = left->carries(locus);
        if (leftCarries && right->carries(locus)) return nullptr;
        return leftCarries ? left : right;
    }
    return left != nullptr ? left : right;
}

struct Branch {
    TNode* node;        // where the walk ended: the next node written
    int64_t mutations;  // placed on every piece of the branch walked
};

Branch reach(TNode* start, int locus) {
    Branch branch{start, 0};
    for (;;) {
        branch.mutations += branch.node->mutationCountAt(locus);
        TNode* next = passThrough(branch.node, locus);
        if (next == nullptr) return branch;
        branch.node = next;
    }
}

enum class PieceKind { kSubtree, kText, kLabel, kBranchLength };

struct Piece {
    PieceKind kind;
    TNode* node = nullptr;        // kSubtree, kLabel, kBranchLength
    const TNode* from = nullptr;  // kSubtree, kBranchLength: the node it hangs from
    int64_t mutations = 0;        // kSubtree, kBranchLength
    const char* text = nullptr;   // kText
};

Piece subtree(const Branch& branch, const TNode* from) {
    return Piece{PieceKind::kSubtree, branch.node, from, branch.mutations, nullptr};
}

Piece text(const char* value) {
    return Piece{PieceKind::kText, nullptr, nullptr, 0, value};
}

Piece label(TNode* node) {
    return Piece{PieceKind::kLabel, node, nullptr, 0, nullptr};
}

void writeBranchLength(std::ostream& out, const Piece& piece, tree_output_type unit, float scale) {
    const int64_t generations = piece.from->time - piece.node->time;
    out << ':';
    switch (unit) {
        case kTreeInGenerations:
            out << generations;
            break;
        case kTreeInMutations:
            out << piece.mutations;
            break;
        default:
            out << static_cast<double>(generations) * scale;
            break;
    }
}

// Pushes the pieces of a subtree in reverse, so that they come off the stack
// in writing order.
void expand(const Piece& piece, int locus, std::vector<Piece>& stack) {
    TNode* node = piece.node;
    if (piece.from != nullptr) {
        stack.push_back(
            Piece{PieceKind::kBranchLength, node, piece.from, piece.mutations, nullptr});
    }
    TNode* left = node->leftDescendant;
    TNode* right = node->rightDescendant;
    if (left != nullptr && right != nullptr) {
        stack.push_back(text(")"));
        stack.push_back(subtree(reach(right, locus), node));
        stack.push_back(text(", "));
        stack.push_back(subtree(reach(left, locus), node));
        stack.push_back(text("("));
    } else if (left != nullptr) {
        stack.push_back(label(node));
        stack.push_back(subtree(reach(left, locus), node));
    } else if (right != nullptr) {
        stack.push_back(subtree(reach(right, locus), node));
        stack.push_back(label(node));
    } else {
        stack.push_back(label(node));
    }
}

}  // namespace

void TTree::print_nodes(std::ostream& out, const tree_output_type& unit, const float& scale,
                        int locus) {
    TNode* root = rootOf(locus);
    // A single gene never coalesces, so no root is set: the tree is that gene.
    if (root == nullptr && sampleSize == 1) root = nodeAt(0);
    if (root != nullptr) {
        std::vector<Piece> stack;
        stack.push_back(Piece{PieceKind::kSubtree, root, nullptr, 0, nullptr});
        while (!stack.empty()) {
            const Piece piece = stack.back();
            stack.pop_back();
            switch (piece.kind) {
                case PieceKind::kSubtree:
                    expand(piece, locus, stack);
                    break;
                case PieceKind::kText:
                    out << piece.text;
                    break;
                case PieceKind::kLabel:
                    writeTaxonLabel(out, *piece.node);
                    break;
                case PieceKind::kBranchLength:
                    writeBranchLength(out, piece, unit, scale);
                    break;
            }
        }
    }
    out << ";\n";
}
