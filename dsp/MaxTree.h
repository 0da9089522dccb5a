// Sliding maximum of the last n values of each channel, O(log n) per sample.
//
// Each channel has a binary tree over an array of 2n doubles: the leaves are
// entries n .. 2n - 1, entry i (1 <= i < n) holds the larger of entries 2i and
// 2i + 1, so entry 1 is the maximum of the window. Entry 0 holds a sentinel
// far above any signal level: as the root's sibling it ends every upward climb
// at the root. The layout works for any n, not only powers of two.
#pragma once

#include "dsp/AlignedBuffer.h"
#include "dsp/Pair.h"

class MaxTree
{
public:
    static constexpr int kCapacity = 1024; // doubles per channel: 2n for n up to 512
    static constexpr double kSentinel = 1e10;

    MaxTree() : leftTree(kCapacity), rightTree(kCapacity) { clear(); }

    void setLength(int n) { length = n; }
    int windowLength() const { return length; }

    // Zero both trees (an empty window reads 0) and put the sentinels back;
    // the position is kept.
    void clear()
    {
        leftTree.clear();
        rightTree.clear();
        leftTree[0] = kSentinel;
        rightTree[0] = kSentinel;
    }
    void resetPosition() { position = 0; }

    // Replaces the oldest value of each channel with v (which must not be
    // negative) and returns the two window maxima.
    Pair push(Pair v)
    {
        double left = insert(leftTree.get(), length + position, v.left());
        double right = insert(rightTree.get(), length + position, v.right());
        // A position left beyond a shorter new length by a rate change wraps
        // here, at its next advance.
        if (++position >= length)
            position = 0;
        return Pair(left, right);
    }

private:
    static double insert(double* tree, int leaf, double v)
    {
        int j = leaf;
        double old = tree[j];
        tree[j] = v;
        if (v > old)
        {
            // Larger than what it replaces: carry it up while it beats the
            // sibling; the sentinel stops it at the root.
            while (v > tree[j ^ 1])
            {
                j >>= 1;
                tree[j] = v;
            }
        }
        else
        {
            // The replaced value may have been the maximum of its parents:
            // recompute them while it was. The j > 1 guard keeps a value
            // above the sentinel from climbing past the root forever.
            while (j > 1 && old > tree[j ^ 1])
            {
                j >>= 1;
                tree[j] = tree[2 * j] > tree[2 * j + 1] ? tree[2 * j] : tree[2 * j + 1];
            }
        }
        return tree[1];
    }

    AlignedBuffer<double> leftTree;
    AlignedBuffer<double> rightTree;
    int length = 128;
    int position = 0;
};
