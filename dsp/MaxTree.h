// Sliding maximum of the last n values of both channels, O(log n) per sample.
//
// A binary tree over an array of 2n nodes, each node a (left, right) pair:
// the leaves are nodes n .. 2n - 1, node i (1 <= i < n) holds the larger of
// nodes 2i and 2i + 1, so node 1 is the maximum of the window. The layout
// works for any n, not only powers of two.
//
// A new value is carried up by recomputing every node on its path to the
// root. That gives exactly the values of an update that stops climbing as
// soon as a parent would not change (a maximum is exact), but without the
// data-dependent branches, whose mispredictions cost more than the few
// extra maxima; and both channels share each step.
#pragma once

#include "dsp/AlignedBuffer.h"
#include "dsp/Pair.h"

class MaxTree
{
public:
    static constexpr int kCapacity = 1024; // nodes: 2n for n up to 512

    MaxTree() : nodes(2 * kCapacity) {}

    void setLength(int n) { length = n; }
    int windowLength() const { return length; }

    // Every node to zero (an empty window reads 0); the position is kept.
    void clear() { nodes.clear(); }
    void resetPosition() { position = 0; }

    // Replaces the oldest value with v (not negative) and returns the window
    // maxima of both channels.
    Pair push(Pair v)
    {
        double* tree = nodes.get();
        int j = length + position;
        v.store(tree + 2 * j);
        while (j > 1)
        {
            v = max(v, Pair::load(tree + 2 * (j ^ 1)));
            j >>= 1;
            v.store(tree + 2 * j);
        }
        // A position left beyond a shorter new length by a rate change wraps
        // here, at its next advance.
        if (++position >= length)
            position = 0;
        return v;
    }

private:
    AlignedBuffer<double> nodes;
    int length = 128;
    int position = 0;
};
