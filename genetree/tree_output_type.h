#pragma once
// Branch-length unit of a written gene tree.

enum tree_output_type : int {
    kTreeInGenerations = 0,        // generations between the two ends of the branch
    kTreeInScaledGenerations = 1,  // those generations times the scale given to the writer
    kTreeInMutations = 2           // mutations placed along the branch by the last mutation pass
};
