// The node grid's rules written out plainly, over whatever crossing function a test or a
// fuzz target trusts: the oracle of RecomputeNodeGrid.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mesh/curves.h"
#include "mesh/node_grid.h"

// Every pair of a row curve and a column curve, segment by segment: the last crossing
// found on either segment wins, a crossing on both ends the pair's search. A pair with no
// crossing keeps what its grid position held.
template <typename CrossFn>
inline void ReferenceRecompute(const CurveSet& columns, const CurveSet& rows, NodeGrid& grid,
                               CrossFn cross)
{
    grid.resize(rows.size());
    for (NodeRow& row : grid)
        row.resize(columns.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < columns.size(); ++c) {
            const Curve& w = rows[r];
            const Curve& v = columns[c];
            bool done = false;
            for (size_t k = 1; k < w.size() && !done; ++k) {
                for (size_t l = 1; l < v.size(); ++l) {
                    const SegmentCrossing s = cross(w[k - 1], w[k], v[l - 1], v[l]);
                    if (s.onFirst || s.onSecond)
                        grid[r][c] = MeshNode{int32_t(l), int32_t(k), s.x, s.y};
                    if (s.onFirst && s.onSecond) {
                        done = true;
                        break;
                    }
                }
            }
        }
    }
}
