// Sliding maximum of the last n values of both channels, at a constant cost
// per sample whatever n is.
//
// The stream is cut into runs of n values. For the value at place p of the
// current run, the window is places p + 1 .. n - 1 of the previous run and
// places 0 .. p of this one: the maximum is that of the previous run's
// suffix from p + 1, kept in a table, and of this run's prefix, kept as it
// grows. When a run is complete its suffix maxima are computed once, going
// backwards. So a sample costs two maxima, and a run n more: fewer
// operations than climbing a tree of log2(2n) levels, and no chain of
// dependent loads. A maximum is exact, so the result is the same bits as any
// other way of taking it.
#pragma once

#include "dsp/AlignedBuffer.h"
#include "dsp/Pair.h"

class SlidingMaximum
{
public:
    static constexpr int kMaxLength = 512;

    SlidingMaximum() : slots(2 * (kMaxLength + 1)) {}

    // A position left beyond a shorter new length (a rate change) starts a
    // new run.
    void setLength(int n)
    {
        length = n;
        if (position >= length)
            resetPosition();
    }
    int windowLength() const { return length; }

    // Every value in the window to zero (an empty window reads 0); the
    // position is kept.
    void clear()
    {
        slots.clear();
        prefix = Pair(0.0);
    }
    void resetPosition()
    {
        position = 0;
        prefix = Pair(0.0);
    }

    // Replaces the oldest value with v (not negative) and returns the window
    // maxima of both channels.
    Pair push(Pair v)
    {
        Stretch stretch = begin();
        const Pair m = stretch.push(0, v);
        end(stretch, 1);
        return m;
    }

    // A stretch of pushes that stays inside the current run (at most room()
    // of them), with the run's place and prefix in the caller's registers:
    // push j replaces the slot at place + j.
    struct Stretch
    {
        double* slot; // the slot of the stretch's first push
        Pair prefix;

        Pair push(int j, Pair v)
        {
            // A run starts with prefix 0, which no value (none is negative)
            // exceeds: the first value of a run becomes the prefix as it is.
            prefix = max(prefix, v);
            // The slot's suffix maximum was last read by the sample before.
            const Pair m = max(Pair::load(slot + 2 * (j + 1)), prefix);
            v.store(slot + 2 * j);
            return m;
        }
    };
    int room() const { return length - position; }
    Stretch begin() { return {slots.get() + 2 * position, prefix}; }
    void end(const Stretch& stretch, int pushes)
    {
        prefix = stretch.prefix;
        position += pushes;
        if (position >= length)
        {
            position = 0;
            prefix = Pair(0.0);
            double* s = slots.get();
            // Nothing of the old run is left in the window at a run's last
            // place: suffix[n] is 0.
            Pair carried(0.0);
            carried.store(s + 2 * length);
            // Four places a turn: the loop's own counting is most of the
            // cost of a place.
#pragma GCC unroll 4
            for (int i = length - 1; i >= 0; --i)
            {
                carried = max(carried, Pair::load(s + 2 * i));
                carried.store(s + 2 * i);
            }
        }
    }

private:
    // One table for both: place p holds the previous run's suffix maximum
    // from p until the sample at p replaces it with its own value; a run's
    // values become its suffix maxima in place when it completes. n + 1
    // pairs in use, the last 0.
    AlignedBuffer<double> slots;
    Pair prefix; // maximum of the current run so far
    int length = 128;
    int position = 0;
};
